// Stands for <wchar.h> of the macOS C library.
#pragma once

#include <sys/cdefs.h>

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <time.h>

typedef union {
  char __mbstate8[128];
  long long _mbstateL;
} mbstate_t;
typedef int wint_t;
#define WEOF ((wint_t)-1)

__BEGIN_DECLS
wint_t btowc(int c);
wint_t fgetwc(FILE* stream);
wchar_t* fgetws(wchar_t* ws, int n, FILE* stream);
wint_t fputwc(wchar_t wc, FILE* stream);
int fputws(const wchar_t* ws, FILE* stream);
int fwide(FILE* stream, int mode);
int fwprintf(FILE* stream, const wchar_t* format, ...);
int fwscanf(FILE* stream, const wchar_t* format, ...);
wint_t getwc(FILE* stream);
wint_t getwchar(void);
size_t mbrlen(const char* s, size_t n, mbstate_t* ps);
size_t mbrtowc(wchar_t* pwc, const char* s, size_t n, mbstate_t* ps);
int mbsinit(const mbstate_t* ps);
size_t mbsrtowcs(wchar_t* dst, const char** src, size_t len, mbstate_t* ps);
size_t mbsnrtowcs(wchar_t* dst, const char** src, size_t nms, size_t len, mbstate_t* ps);
wint_t putwc(wchar_t wc, FILE* stream);
wint_t putwchar(wchar_t wc);
int swprintf(wchar_t* ws, size_t n, const wchar_t* format, ...);
int swscanf(const wchar_t* ws, const wchar_t* format, ...);
wint_t ungetwc(wint_t wc, FILE* stream);
int vfwprintf(FILE* stream, const wchar_t* format, va_list ap);
int vswprintf(wchar_t* ws, size_t n, const wchar_t* format, va_list ap);
int vwprintf(const wchar_t* format, va_list ap);
size_t wcrtomb(char* s, wchar_t wc, mbstate_t* ps);
wchar_t* wcscat(wchar_t* s1, const wchar_t* s2);
wchar_t* wcschr(const wchar_t* s, wchar_t c);
int wcscmp(const wchar_t* a, const wchar_t* b);
int wcscoll(const wchar_t* a, const wchar_t* b);
wchar_t* wcscpy(wchar_t* to, const wchar_t* from);
size_t wcscspn(const wchar_t* s, const wchar_t* set);
size_t wcsftime(wchar_t* s, size_t max, const wchar_t* format, const struct tm* tm);
size_t wcslen(const wchar_t* s);
wchar_t* wcsncat(wchar_t* s1, const wchar_t* s2, size_t n);
int wcsncmp(const wchar_t* a, const wchar_t* b, size_t n);
wchar_t* wcsncpy(wchar_t* to, const wchar_t* from, size_t n);
wchar_t* wcspbrk(const wchar_t* s, const wchar_t* set);
wchar_t* wcsrchr(const wchar_t* s, wchar_t c);
size_t wcsrtombs(char* dst, const wchar_t** src, size_t len, mbstate_t* ps);
size_t wcsnrtombs(char* dst, const wchar_t** src, size_t nwc, size_t len, mbstate_t* ps);
size_t wcsspn(const wchar_t* s, const wchar_t* set);
wchar_t* wcsstr(const wchar_t* big, const wchar_t* little);
double wcstod(const wchar_t* s, wchar_t** end);
float wcstof(const wchar_t* s, wchar_t** end);
long double wcstold(const wchar_t* s, wchar_t** end);
wchar_t* wcstok(wchar_t* s, const wchar_t* sep, wchar_t** state);
long wcstol(const wchar_t* s, wchar_t** end, int base);
long long wcstoll(const wchar_t* s, wchar_t** end, int base);
unsigned long wcstoul(const wchar_t* s, wchar_t** end, int base);
unsigned long long wcstoull(const wchar_t* s, wchar_t** end, int base);
size_t wcsxfrm(wchar_t* to, const wchar_t* from, size_t n);
int wctob(wint_t c);
wchar_t* wmemchr(const wchar_t* s, wchar_t c, size_t n);
int wmemcmp(const wchar_t* a, const wchar_t* b, size_t n);
wchar_t* wmemcpy(wchar_t* to, const wchar_t* from, size_t n);
wchar_t* wmemmove(wchar_t* to, const wchar_t* from, size_t n);
wchar_t* wmemset(wchar_t* s, wchar_t c, size_t n);
int wprintf(const wchar_t* format, ...);
int wscanf(const wchar_t* format, ...);
__END_DECLS
