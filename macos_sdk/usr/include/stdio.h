// Stands for <stdio.h> of the macOS C library, with renamex_np from <stdio.h>'s Darwin part.
#pragma once

#include <sys/cdefs.h>

#include <stdarg.h>
#include <stddef.h>
#include <sys/types.h>

typedef struct __sFILE FILE;
typedef int64_t fpos_t;
#define EOF (-1)
#define BUFSIZ 1024
#define FILENAME_MAX 1024
#define L_tmpnam 1024
#define TMP_MAX 308915776
#define FOPEN_MAX 20
#define SEEK_SET 0
#define SEEK_CUR 1
#define SEEK_END 2
#define _IOFBF 0
#define _IOLBF 1
#define _IONBF 2

__BEGIN_DECLS
extern FILE* __stdinp;
extern FILE* __stdoutp;
extern FILE* __stderrp;
#define stdin __stdinp
#define stdout __stdoutp
#define stderr __stderrp

void clearerr(FILE* stream);
int fclose(FILE* stream);
FILE* fdopen(int fd, const char* mode);
int feof(FILE* stream);
int ferror(FILE* stream);
int fflush(FILE* stream);
int fgetc(FILE* stream);
int fgetpos(FILE* stream, fpos_t* pos);
char* fgets(char* s, int n, FILE* stream);
int fileno(FILE* stream);
FILE* fopen(const char* path, const char* mode);
int fprintf(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
int fputc(int c, FILE* stream);
int fputs(const char* s, FILE* stream);
size_t fread(void* ptr, size_t size, size_t count, FILE* stream);
FILE* freopen(const char* path, const char* mode, FILE* stream);
int fscanf(FILE* stream, const char* format, ...);
int fseek(FILE* stream, long offset, int whence);
int fseeko(FILE* stream, off_t offset, int whence);
int fsetpos(FILE* stream, const fpos_t* pos);
long ftell(FILE* stream);
off_t ftello(FILE* stream);
size_t fwrite(const void* ptr, size_t size, size_t count, FILE* stream);
int getc(FILE* stream);
int getchar(void);
char* gets(char* s);
void perror(const char* s);
int printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int putc(int c, FILE* stream);
int putchar(int c);
int puts(const char* s);
int remove(const char* path);
int rename(const char* from, const char* to);
void rewind(FILE* stream);
int scanf(const char* format, ...);
void setbuf(FILE* stream, char* buffer);
int setvbuf(FILE* stream, char* buffer, int mode, size_t size);
int snprintf(char* s, size_t n, const char* format, ...) __attribute__((format(printf, 3, 4)));
int sprintf(char* s, const char* format, ...) __attribute__((format(printf, 2, 3)));
int sscanf(const char* s, const char* format, ...);
FILE* tmpfile(void);
char* tmpnam(char* s);
int ungetc(int c, FILE* stream);
int vfprintf(FILE* stream, const char* format, va_list ap) __attribute__((format(printf, 2, 0)));
int vfscanf(FILE* stream, const char* format, va_list ap);
int vprintf(const char* format, va_list ap) __attribute__((format(printf, 1, 0)));
int vscanf(const char* format, va_list ap);
int vsnprintf(char* s, size_t n, const char* format, va_list ap)
    __attribute__((format(printf, 3, 0)));
int vsprintf(char* s, const char* format, va_list ap) __attribute__((format(printf, 2, 0)));
int vsscanf(const char* s, const char* format, va_list ap);
int vasprintf(char** out, const char* format, va_list ap) __attribute__((format(printf, 2, 0)));
int asprintf(char** out, const char* format, ...) __attribute__((format(printf, 2, 3)));
FILE* popen(const char* command, const char* mode);
int pclose(FILE* stream);

// Renames without replacing an existing entry (RENAME_EXCL): EEXIST when the name is taken.
#define RENAME_SWAP 0x00000002
#define RENAME_EXCL 0x00000004
int renamex_np(const char* from, const char* to, unsigned int flags)
    __attribute__((availability(macos, introduced = 10.12)));
__END_DECLS
