// Stands for <string.h> and <strings.h> of the macOS C library.
#pragma once

#include <sys/cdefs.h>

#include <stddef.h>

__BEGIN_DECLS
void* memchr(const void* s, int c, size_t n);
int memcmp(const void* a, const void* b, size_t n);
void* memcpy(void* to, const void* from, size_t n);
void* memmove(void* to, const void* from, size_t n);
void* memset(void* b, int c, size_t n);
char* strcat(char* s1, const char* s2);
char* strchr(const char* s, int c);
int strcmp(const char* a, const char* b);
int strcoll(const char* a, const char* b);
char* strcpy(char* to, const char* from);
size_t strcspn(const char* s, const char* set);
char* strerror(int errnum);
int strerror_r(int errnum, char* buffer, size_t size);
size_t strlen(const char* s);
char* strncat(char* s1, const char* s2, size_t n);
int strncmp(const char* a, const char* b, size_t n);
char* strncpy(char* to, const char* from, size_t n);
char* strpbrk(const char* s, const char* set);
char* strrchr(const char* s, int c);
size_t strspn(const char* s, const char* set);
char* strstr(const char* big, const char* little);
char* strtok(char* s, const char* sep);
size_t strxfrm(char* to, const char* from, size_t n);
char* strdup(const char* s);
size_t strnlen(const char* s, size_t max);
char* strsignal(int sig);
int strcasecmp(const char* a, const char* b);
int strncasecmp(const char* a, const char* b, size_t n);
__END_DECLS
