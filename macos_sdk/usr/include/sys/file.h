// Stands for <sys/file.h> of the macOS C library: advisory whole-file locks.
#pragma once

#include <fcntl.h>
#include <sys/cdefs.h>

#define LOCK_SH 0x01
#define LOCK_EX 0x02
#define LOCK_NB 0x04
#define LOCK_UN 0x08

__BEGIN_DECLS
int flock(int fd, int operation);
__END_DECLS
