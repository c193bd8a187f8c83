// The exclusive lock that lets one tracker at a time own the day files.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {

Expected<DayLock> DayLock::acquire(const std::filesystem::path& dir) {
  return take(dir, true);
}

Expected<DayLock> DayLock::tryAcquire(const std::filesystem::path& dir) {
  return take(dir, false);
}

Expected<DayLock> DayLock::take(const std::filesystem::path& dir, bool wait) {
  const std::filesystem::path lockFile = dir / ".tracker.lock";
  if (!createPrivateFolders(dir)) return posixError("cannot create " + dir.string(), errno);
  // A link planted at the lock's name is refused, never followed to some other file.
  posix::UniqueFd fd;
  do {
    fd.reset(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW,
                    kPrivateFileMode));
  } while (!fd && errno == EINTR);
  if (!fd && errno == EISDIR) errno = ELOOP;
  if (!fd) return posixError("cannot open " + lockFile.string(), errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return posixError("cannot lock " + lockFile.string(), ELOOP);
  }
  int rc;
  do {
    rc = ::flock(fd.get(), wait ? LOCK_EX : LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return posixError("cannot lock " + lockFile.string(), errno);
  return DayLock(std::move(fd), lockFile);
}

bool DayLock::inPlace() const {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd_.get(), &held) == 0 && ::lstat(file_.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace quillmoss::daily
