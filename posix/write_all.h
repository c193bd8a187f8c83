// Writing a whole buffer to a descriptor, however the kernel splits it.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace quillmoss::posix {

// False with errno set when not every byte was written; a write that takes nothing without an
// error means no room, and says ENOSPC.
inline bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace quillmoss::posix
