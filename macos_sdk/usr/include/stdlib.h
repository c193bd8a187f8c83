// Stands for <stdlib.h> of the macOS C library.
#pragma once

#include <stddef.h>
#include <sys/cdefs.h>
#include <sys/types.h>

typedef struct {
  int quot;
  int rem;
} div_t;
typedef struct {
  long quot;
  long rem;
} ldiv_t;
typedef struct {
  long long quot;
  long long rem;
} lldiv_t;

#define EXIT_FAILURE 1
#define EXIT_SUCCESS 0
#define RAND_MAX 0x7fffffff
#define MB_CUR_MAX ((size_t)___mb_cur_max())

__BEGIN_DECLS
int ___mb_cur_max(void);
void abort(void) __attribute__((noreturn));
int abs(int j) __attribute__((const));
void* aligned_alloc(size_t alignment, size_t size)
    __attribute__((availability(macos, introduced = 10.15)));
int atexit(void (*func)(void));
int at_quick_exit(void (*func)(void));
double atof(const char* s);
int atoi(const char* s);
long atol(const char* s);
long long atoll(const char* s);
void* bsearch(const void* key, const void* base, size_t count, size_t size,
              int (*compare)(const void*, const void*));
void* calloc(size_t count, size_t size);
div_t div(int numerator, int denominator) __attribute__((const));
void exit(int status) __attribute__((noreturn));
void _Exit(int status) __attribute__((noreturn));
void free(void* ptr);
char* getenv(const char* name);
long labs(long j) __attribute__((const));
ldiv_t ldiv(long numerator, long denominator) __attribute__((const));
long long llabs(long long j);
lldiv_t lldiv(long long numerator, long long denominator);
void* malloc(size_t size);
int mblen(const char* s, size_t n);
size_t mbstowcs(wchar_t* to, const char* from, size_t n);
int mbtowc(wchar_t* to, const char* from, size_t n);
int posix_memalign(void** memptr, size_t alignment, size_t size);
void qsort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*));
void quick_exit(int status) __attribute__((noreturn));
int rand(void);
void* realloc(void* ptr, size_t size);
void srand(unsigned seed);
double strtod(const char* s, char** end);
float strtof(const char* s, char** end);
long strtol(const char* s, char** end, int base);
long double strtold(const char* s, char** end);
long long strtoll(const char* s, char** end, int base);
unsigned long strtoul(const char* s, char** end, int base);
unsigned long long strtoull(const char* s, char** end, int base);
int system(const char* command);
size_t wcstombs(char* to, const wchar_t* from, size_t n);
int wctomb(char* to, wchar_t wc);
int setenv(const char* name, const char* value, int overwrite);
int unsetenv(const char* name);
int putenv(char* string);
char* mkdtemp(char* path);
int mkstemp(char* path);
char* realpath(const char* path, char* resolved);
__END_DECLS
