// The exclusive lock that lets one tracker at a time own the day files.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {

std::optional<DayLock> DayLock::acquire(const std::filesystem::path& dir) {
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  const std::filesystem::path lockFile = dir / ".tracker.lock";
  int fd;
  do {
    fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  DayLock lock(fd);  // closes the descriptor on every early return
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return std::nullopt;
  return std::optional<DayLock>(std::move(lock));
}

DayLock::DayLock(DayLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DayLock& DayLock::operator=(DayLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DayLock::~DayLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the flock
}

}  // namespace quillmoss::daily
