// Stands for <locale.h> and <xlocale.h> of the macOS C library: locales, and the functions
// taking one that libc++'s <locale> uses.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/cdefs.h>
#include <time.h>
#include <wchar.h>

struct lconv {
  char* decimal_point;
  char* thousands_sep;
  char* grouping;
  char* int_curr_symbol;
  char* currency_symbol;
  char* mon_decimal_point;
  char* mon_thousands_sep;
  char* mon_grouping;
  char* positive_sign;
  char* negative_sign;
  char int_frac_digits;
  char frac_digits;
  char p_cs_precedes;
  char p_sep_by_space;
  char n_cs_precedes;
  char n_sep_by_space;
  char p_sign_posn;
  char n_sign_posn;
  char int_p_cs_precedes;
  char int_n_cs_precedes;
  char int_p_sep_by_space;
  char int_n_sep_by_space;
  char int_p_sign_posn;
  char int_n_sign_posn;
};

#define LC_ALL 0
#define LC_COLLATE 1
#define LC_CTYPE 2
#define LC_MONETARY 3
#define LC_NUMERIC 4
#define LC_TIME 5
#define LC_MESSAGES 6
#define LC_COLLATE_MASK (1 << 0)
#define LC_CTYPE_MASK (1 << 1)
#define LC_MESSAGES_MASK (1 << 2)
#define LC_MONETARY_MASK (1 << 3)
#define LC_NUMERIC_MASK (1 << 4)
#define LC_TIME_MASK (1 << 5)
#define LC_ALL_MASK                                                                          \
  (LC_COLLATE_MASK | LC_CTYPE_MASK | LC_MESSAGES_MASK | LC_MONETARY_MASK | LC_NUMERIC_MASK | \
   LC_TIME_MASK)

typedef struct _xlocale* locale_t;
#define LC_GLOBAL_LOCALE ((locale_t)-1)

__BEGIN_DECLS
struct lconv* localeconv(void);
char* setlocale(int category, const char* locale);
locale_t duplocale(locale_t locale);
int freelocale(locale_t locale);
locale_t newlocale(int mask, const char* name, locale_t base);
locale_t uselocale(locale_t locale);
struct lconv* localeconv_l(locale_t locale);
int ___mb_cur_max_l(locale_t locale);
#define MB_CUR_MAX_L(locale) ((size_t)___mb_cur_max_l(locale))
wint_t btowc_l(int c, locale_t locale);
int wctob_l(wint_t c, locale_t locale);
size_t mbrtowc_l(wchar_t* pwc, const char* s, size_t n, mbstate_t* ps, locale_t locale);
size_t mbrlen_l(const char* s, size_t n, mbstate_t* ps, locale_t locale);
int mbtowc_l(wchar_t* pwc, const char* s, size_t n, locale_t locale);
size_t mbsrtowcs_l(wchar_t* dst, const char** src, size_t len, mbstate_t* ps, locale_t locale);
size_t mbsnrtowcs_l(wchar_t* dst, const char** src, size_t nms, size_t len, mbstate_t* ps,
                    locale_t locale);
size_t wcrtomb_l(char* s, wchar_t wc, mbstate_t* ps, locale_t locale);
size_t wcsnrtombs_l(char* dst, const wchar_t** src, size_t nwc, size_t len, mbstate_t* ps,
                    locale_t locale);
int snprintf_l(char* s, size_t n, locale_t locale, const char* format, ...);
int asprintf_l(char** out, locale_t locale, const char* format, ...);
int sscanf_l(const char* s, locale_t locale, const char* format, ...);
int vasprintf_l(char** out, locale_t locale, const char* format, va_list ap);
long long strtoll_l(const char* s, char** end, int base, locale_t locale);
unsigned long long strtoull_l(const char* s, char** end, int base, locale_t locale);
double strtod_l(const char* s, char** end, locale_t locale);
float strtof_l(const char* s, char** end, locale_t locale);
long double strtold_l(const char* s, char** end, locale_t locale);
int strcoll_l(const char* a, const char* b, locale_t locale);
size_t strxfrm_l(char* to, const char* from, size_t n, locale_t locale);
int wcscoll_l(const wchar_t* a, const wchar_t* b, locale_t locale);
size_t wcsxfrm_l(wchar_t* to, const wchar_t* from, size_t n, locale_t locale);
size_t strftime_l(char* s, size_t max, const char* format, const struct tm* tm, locale_t locale);
__END_DECLS
