// Stands for <sys/socket.h> of the macOS C library.
#pragma once

#include <sys/cdefs.h>
#include <sys/types.h>

typedef uint8_t sa_family_t;
struct sockaddr {
  uint8_t sa_len;
  sa_family_t sa_family;
  char sa_data[14];
};
#define AF_UNIX 1
#define AF_LOCAL AF_UNIX
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define SOL_SOCKET 0xffff
#define SO_NOSIGPIPE 0x1022
#define MSG_PEEK 0x2
#define MSG_DONTWAIT 0x80

__BEGIN_DECLS
int accept(int fd, struct sockaddr* address, socklen_t* length);
int bind(int fd, const struct sockaddr* address, socklen_t length);
int connect(int fd, const struct sockaddr* address, socklen_t length);
int listen(int fd, int backlog);
ssize_t recv(int fd, void* buffer, size_t length, int flags);
ssize_t send(int fd, const void* buffer, size_t length, int flags);
int setsockopt(int fd, int level, int name, const void* value, socklen_t length);
int shutdown(int fd, int how);
int socket(int domain, int type, int protocol);
int socketpair(int domain, int type, int protocol, int fds[2]);
__END_DECLS
