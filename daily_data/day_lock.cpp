// The exclusive lock that lets one tracker at a time own the day files.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {

Expected<DayLock> DayLock::acquire(const std::filesystem::path& dir) {
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  const std::filesystem::path lockFile = dir / ".tracker.lock";
  // A link planted at the lock's name is refused, never followed to some other file.
  posix::UniqueFd fd;
  do {
    fd.reset(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0644));
  } while (!fd && errno == EINTR);
  if (!fd) return posixError("cannot open " + lockFile.string(), errno);
  int rc;
  do {
    rc = ::flock(fd.get(), LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return posixError("cannot lock " + lockFile.string(), errno);
  return DayLock(std::move(fd));
}

}  // namespace quillmoss::daily
