// Small-file reading; see small_file.h.
#include "linux_desktop/small_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillmoss::desktop {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t maxBytes) {
  // O_NONBLOCK: a FIFO planted where a file should be must not hang the caller.
  Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
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
