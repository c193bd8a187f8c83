// Stands for <regex.h> of the macOS C library: POSIX regular expressions.
#pragma once

#include <stddef.h>
#include <sys/cdefs.h>
#include <sys/types.h>

typedef off_t regoff_t;
typedef struct {
  int re_magic;
  size_t re_nsub;
  const char* re_endp;
  struct re_guts* re_g;
} regex_t;
typedef struct {
  regoff_t rm_so;
  regoff_t rm_eo;
} regmatch_t;

#define REG_BASIC 0000
#define REG_EXTENDED 0001
#define REG_ICASE 0002
#define REG_NOSUB 0004
#define REG_NEWLINE 0010
#define REG_NOMATCH 1

__BEGIN_DECLS
int regcomp(regex_t* regex, const char* pattern, int flags);
size_t regerror(int code, const regex_t* regex, char* buffer, size_t size);
int regexec(const regex_t* regex, const char* text, size_t count, regmatch_t matches[], int flags);
void regfree(regex_t* regex);
__END_DECLS
