// Stands for <signal.h> of the macOS C library.
#pragma once

#include <sys/cdefs.h>
#include <sys/types.h>

typedef int sig_atomic_t;
typedef uint32_t sigset_t;
typedef void (*sig_t)(int);

#define SIGHUP 1
#define SIGINT 2
#define SIGQUIT 3
#define SIGILL 4
#define SIGTRAP 5
#define SIGABRT 6
#define SIGFPE 8
#define SIGKILL 9
#define SIGBUS 10
#define SIGSEGV 11
#define SIGSYS 12
#define SIGPIPE 13
#define SIGALRM 14
#define SIGTERM 15
#define SIGSTOP 17
#define SIGCHLD 20
#define SIGUSR1 30
#define SIGUSR2 31

#define SIG_DFL ((void (*)(int))0)
#define SIG_IGN ((void (*)(int))1)
#define SIG_ERR ((void (*)(int)) - 1)
#define SIG_BLOCK 1
#define SIG_UNBLOCK 2
#define SIG_SETMASK 3

__BEGIN_DECLS
void (*signal(int sig, void (*handler)(int)))(int);
int raise(int sig);
int kill(pid_t pid, int sig);
int sigemptyset(sigset_t* set);
int sigaddset(sigset_t* set, int sig);
int pthread_sigmask(int how, const sigset_t* set, sigset_t* old);
__END_DECLS
