// Folders and files of the user's alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {
namespace {

// Takes group and other access away from what `fd` is, when it is ours and has any.
void tighten(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0077) != 0) {
    ::fchmod(fd, info.st_mode & 07700);
  }
}

}  // namespace

bool createPrivateFolders(const std::filesystem::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  if (errno != ENOENT) return false;
  const std::filesystem::path parent = folder.parent_path();
  if (!parent.empty() && parent != folder && !createPrivateFolders(parent)) return false;
  // The mode is also narrowed by the umask, which can only take more away.
  return ::mkdir(folder.c_str(), kPrivateFolderMode) == 0 || errno == EEXIST;
}

void makeDataFolderPrivate(const std::filesystem::path& dataDir) {
  constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  if (const posix::UniqueFd above(::open(dataDir.parent_path().c_str(), kFolderFlags)); above) {
    tighten(above.get());
  }
  posix::UniqueFd folder(::open(dataDir.c_str(), kFolderFlags));
  if (!folder) return;
  tighten(folder.get());
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dataDir, error)) {
    // Non-blocking, so that a FIFO planted there cannot hold us; only regular files are changed.
    const posix::UniqueFd file(::openat(folder.get(), entry.path().filename().c_str(),
                                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file && ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode)) tighten(file.get());
  }
}

}  // namespace quillmoss::daily
