// Stands for <sys/types.h> of the macOS C library (64-bit): the POSIX types, the time
// structures and the pthread types.
#pragma once

#include <stddef.h>
#include <stdint.h>

// <sys/_types.h>, <machine/_types.h>
typedef int8_t __int8_t;
typedef uint8_t __uint8_t;
typedef int16_t __int16_t;
typedef uint16_t __uint16_t;
typedef int32_t __int32_t;
typedef uint32_t __uint32_t;
typedef int64_t __int64_t;
typedef uint64_t __uint64_t;

typedef long ssize_t;
typedef int64_t off_t;
typedef int32_t pid_t;
typedef uint32_t uid_t;
typedef uint32_t gid_t;
typedef uint32_t id_t;
typedef uint16_t mode_t;
typedef int32_t dev_t;
typedef uint64_t ino_t;
typedef uint16_t nlink_t;
typedef int64_t blkcnt_t;
typedef int32_t blksize_t;
typedef long time_t;
typedef unsigned long clock_t;
typedef int32_t suseconds_t;
typedef uint32_t useconds_t;
typedef uint32_t socklen_t;

struct timespec {
  time_t tv_sec;
  long tv_nsec;
};
struct timeval {
  time_t tv_sec;
  suseconds_t tv_usec;
};

// <sys/_pthread/_pthread_types.h>
struct _opaque_pthread_t;
typedef struct _opaque_pthread_t* pthread_t;
typedef unsigned long pthread_key_t;
typedef struct {
  long __sig;
  char __opaque[56];
} pthread_attr_t;
typedef struct {
  long __sig;
  char __opaque[56];
} pthread_mutex_t;
typedef struct {
  long __sig;
  char __opaque[8];
} pthread_mutexattr_t;
typedef struct {
  long __sig;
  char __opaque[40];
} pthread_cond_t;
typedef struct {
  long __sig;
  char __opaque[8];
} pthread_condattr_t;
typedef struct {
  long __sig;
  char __opaque[8];
} pthread_once_t;
typedef struct {
  long __sig;
  char __opaque[192];
} pthread_rwlock_t;
