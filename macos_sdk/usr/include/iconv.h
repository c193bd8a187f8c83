// Stands for <iconv.h> of the macOS system library (libiconv): character set conversion.
#pragma once

#include <stddef.h>
#include <sys/cdefs.h>

typedef void* iconv_t;

__BEGIN_DECLS
iconv_t iconv_open(const char* to, const char* from);
size_t iconv(iconv_t cd, char** in, size_t* inLeft, char** out, size_t* outLeft);
int iconv_close(iconv_t cd);
__END_DECLS
