// Stands for <inttypes.h> of the macOS C library: the format macros of the 64-bit system.
#pragma once

#include <stdint.h>
#include <sys/cdefs.h>

#define PRId8 "hhd"
#define PRId16 "hd"
#define PRId32 "d"
#define PRId64 "lld"
#define PRIi64 "lli"
#define PRIu8 "hhu"
#define PRIu16 "hu"
#define PRIu32 "u"
#define PRIu64 "llu"
#define PRIx32 "x"
#define PRIx64 "llx"
#define PRIX64 "llX"
#define PRIdMAX "jd"
#define PRIuMAX "ju"
#define PRIdPTR "ld"
#define PRIuPTR "lu"
#define PRIxPTR "lx"
#define SCNd64 "lld"
#define SCNu64 "llu"

typedef struct {
  intmax_t quot;
  intmax_t rem;
} imaxdiv_t;

__BEGIN_DECLS
intmax_t imaxabs(intmax_t j);
imaxdiv_t imaxdiv(intmax_t numerator, intmax_t denominator);
intmax_t strtoimax(const char* s, char** end, int base);
uintmax_t strtoumax(const char* s, char** end, int base);
intmax_t wcstoimax(const wchar_t* s, wchar_t** end, int base);
uintmax_t wcstoumax(const wchar_t* s, wchar_t** end, int base);
__END_DECLS
