// Small-file reading; see small_file.h.
#include "linux_desktop/small_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "posix/unique_fd.h"

namespace quillmoss::desktop {

std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t maxBytes) {
  // O_NONBLOCK: a FIFO planted where a file should be must not hang the caller.
  posix::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return std::nullopt;
  std::string text;
  char buffer[4096];
  while (text.size() < maxBytes) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  if (text.size() > maxBytes) text.resize(maxBytes);
  return text;
}

}  // namespace quillmoss::desktop
