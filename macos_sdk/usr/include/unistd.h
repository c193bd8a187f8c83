// Stands for <unistd.h> of the macOS C library.
#pragma once

#include <stddef.h>
#include <sys/cdefs.h>
#include <sys/types.h>

#define STDIN_FILENO 0
#define STDOUT_FILENO 1
#define STDERR_FILENO 2
#define F_OK 0
#define X_OK 1
#define W_OK 2
#define R_OK 4
#define _SC_PAGESIZE 29
#define _SC_NPROCESSORS_ONLN 58
#define _SC_GETPW_R_SIZE_MAX 71

__BEGIN_DECLS
int access(const char* path, int mode);
unsigned alarm(unsigned seconds);
int chdir(const char* path);
int close(int fd);
int dup(int fd);
int dup2(int fd, int to);
int execv(const char* path, char* const argv[]);
int execvp(const char* file, char* const argv[]);
void _exit(int status) __attribute__((noreturn));
pid_t fork(void);
int fsync(int fd);
int ftruncate(int fd, off_t length);
char* getcwd(char* buffer, size_t size);
gid_t getegid(void);
uid_t geteuid(void);
gid_t getgid(void);
pid_t getpid(void);
pid_t getppid(void);
uid_t getuid(void);
int isatty(int fd);
int link(const char* from, const char* to);
off_t lseek(int fd, off_t offset, int whence);
int pipe(int fds[2]);
ssize_t read(int fd, void* buffer, size_t size);
ssize_t readlink(const char* path, char* buffer, size_t size);
int rmdir(const char* path);
int setgid(gid_t gid);
pid_t setsid(void);
int setuid(uid_t uid);
unsigned sleep(unsigned seconds);
int symlink(const char* target, const char* path);
long sysconf(int name);
int unlink(const char* path);
int usleep(useconds_t microseconds);
ssize_t write(int fd, const void* buffer, size_t size);
extern char** environ;
__END_DECLS
