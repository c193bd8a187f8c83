// Flushing a file's data to the disk itself, with the call each system needs for that.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillmoss::posix {

// fsync, retried on EINTR. On macOS fsync stops at the drive's cache and only F_FULLFSYNC
// reaches the disk; fsync remains for file systems that refuse it.
inline bool syncToDisk(int fd) {
  int rc;
#if defined(__APPLE__)
  do {
    rc = ::fcntl(fd, F_FULLFSYNC);
  } while (rc == -1 && errno == EINTR);
  if (rc != -1) return true;
#endif
  do {
    rc = ::fsync(fd);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace quillmoss::posix
