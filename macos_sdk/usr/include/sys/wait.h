// Stands for <sys/wait.h> of the macOS C library: waiting for child processes.
#pragma once

#include <sys/cdefs.h>
#include <sys/types.h>

#define WNOHANG 0x00000001
#define WIFEXITED(status) (((status)&0177) == 0)
#define WEXITSTATUS(status) (((status) >> 8) & 0x000000ff)
#define WIFSIGNALED(status) (((status)&0177) != 0177 && ((status)&0177) != 0)
#define WTERMSIG(status) ((status)&0177)

__BEGIN_DECLS
pid_t wait(int* status);
pid_t waitpid(pid_t pid, int* status, int options);
__END_DECLS
