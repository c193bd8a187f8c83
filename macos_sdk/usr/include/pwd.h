// Stands for <pwd.h> of the macOS C library: the user database.
#pragma once

#include <stddef.h>
#include <sys/cdefs.h>
#include <sys/types.h>

struct passwd {
  char* pw_name;
  char* pw_passwd;
  uid_t pw_uid;
  gid_t pw_gid;
  time_t pw_change;
  char* pw_class;
  char* pw_gecos;
  char* pw_dir;
  char* pw_shell;
  time_t pw_expire;
};

__BEGIN_DECLS
struct passwd* getpwuid(uid_t uid);
int getpwuid_r(uid_t uid, struct passwd* entry, char* buffer, size_t size, struct passwd** found);
__END_DECLS
