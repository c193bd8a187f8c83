// Stands for <time.h> of the macOS C library.
#pragma once

#include <sys/cdefs.h>

#include <stddef.h>
#include <sys/types.h>

struct tm {
  int tm_sec;
  int tm_min;
  int tm_hour;
  int tm_mday;
  int tm_mon;
  int tm_year;
  int tm_wday;
  int tm_yday;
  int tm_isdst;
  long tm_gmtoff;
  char* tm_zone;
};

#define CLOCKS_PER_SEC 1000000
#define TIME_UTC 1

typedef enum {
  _CLOCK_REALTIME = 0,
  _CLOCK_MONOTONIC = 6,
  _CLOCK_MONOTONIC_RAW = 4,
  _CLOCK_UPTIME_RAW = 8,
} clockid_t;
#define CLOCK_REALTIME _CLOCK_REALTIME
#define CLOCK_MONOTONIC _CLOCK_MONOTONIC
#define CLOCK_MONOTONIC_RAW _CLOCK_MONOTONIC_RAW
#define CLOCK_UPTIME_RAW _CLOCK_UPTIME_RAW

__BEGIN_DECLS
extern char* tzname[];
char* asctime(const struct tm* tm);
clock_t clock(void);
char* ctime(const time_t* clock);
double difftime(time_t a, time_t b);
struct tm* gmtime(const time_t* clock);
struct tm* gmtime_r(const time_t* clock, struct tm* result);
struct tm* localtime(const time_t* clock);
struct tm* localtime_r(const time_t* clock, struct tm* result);
time_t mktime(struct tm* tm);
size_t strftime(char* s, size_t max, const char* format, const struct tm* tm);
char* strptime(const char* s, const char* format, struct tm* tm);
time_t time(time_t* clock);
void tzset(void);
time_t timegm(struct tm* tm);
int nanosleep(const struct timespec* request, struct timespec* remaining);
int clock_gettime(clockid_t clock, struct timespec* now)
    __attribute__((availability(macos, introduced = 10.12)));
int timespec_get(struct timespec* ts, int base)
    __attribute__((availability(macos, introduced = 10.15)));
__END_DECLS
