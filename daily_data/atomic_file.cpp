// Durable atomic replacement of a day file, and moving a damaged one out of the way.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "daily_data/daily_data.h"
#include "posix/sync_to_disk.h"
#include "posix/write_all.h"

namespace quillmoss::daily {
namespace {

// Suffixes tried after "<name>.damaged-<now>" itself before giving up.
constexpr int kMaxAsideSuffix = 1000;

posix::UniqueFd openRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return posix::UniqueFd(fd);
}

// Makes a rename in the folder durable. File systems that cannot sync a folder say EINVAL;
// there is nothing more to do on them.
bool syncFolder(const std::filesystem::path& folder) {
  posix::UniqueFd fd = openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!fd) return false;
  return posix::syncToDisk(fd.get()) || errno == EINVAL;
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

// Renames without replacing an existing entry; EEXIST when the name is taken.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
#elif defined(__APPLE__)
  if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0) return true;
  if (errno != ENOTSUP && errno != EINVAL) return false;
#endif
  // Without kernel support: check, then rename. Only the lock holder moves day files aside.
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) {
    errno = EEXIST;
    return false;
  }
  if (errno != ENOENT) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

Status writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  if (file.filename().empty()) return posixError("no file name in " + file.string(), EISDIR);
  const std::filesystem::path folder = folderOf(file);
  createPrivateFolders(folder);

  // A fixed name per target: a leftover from a crash is removed and the name reused, so they
  // never pile up. The file is created afresh (O_EXCL, O_NOFOLLOW): whatever was planted there,
  // a link above all, is unlinked, never written through.
  std::string tempName = ".";
  tempName.append(file.filename().native());
  tempName.append(".tmp");
  const std::filesystem::path temp = folder / tempName;
  constexpr int kCreateFresh = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
  posix::UniqueFd fd;
  for (int attempt = 0; attempt < 3 && !fd; ++attempt) {
    if (::unlink(temp.c_str()) != 0 && errno != ENOENT) {
      return posixError("cannot remove " + temp.string(), errno);
    }
    fd = openRetrying(temp.c_str(), kCreateFresh, kPrivateFileMode);
    if (!fd && errno != EEXIST) return posixError("cannot create " + temp.string(), errno);
  }
  if (!fd) return posixError("cannot create " + temp.string(), EEXIST);
  // The first step that failed, with its errno.
  std::string failed;
  int error = 0;
  const auto fail = [&](std::string what) {
    if (!failed.empty()) return;
    failed = std::move(what);
    error = errno;
  };
  if (!posix::writeAll(fd.get(), bytes)) {
    fail("cannot write " + temp.string());
  } else if (!posix::syncToDisk(fd.get())) {
    fail("cannot sync " + temp.string());
  }
  if (::close(fd.release()) != 0) fail("cannot close " + temp.string());
  if (failed.empty() && ::rename(temp.c_str(), file.c_str()) != 0) {
    fail("cannot rename " + temp.string() + " over " + file.string());
  }
  if (!failed.empty()) {
    ::unlink(temp.c_str());
    return posixError(failed, error);
  }
  if (!syncFolder(folder)) return posixError("cannot sync " + folder.string(), errno);
  return {};
}

Status moveAside(const std::filesystem::path& file, std::time_t now) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return posixError("cannot look at " + file.string(), errno);
  }
  const std::string base = file.filename().string() + ".damaged-" + std::to_string(now);
  const std::filesystem::path folder = folderOf(file);
  for (int suffix = 0; suffix <= kMaxAsideSuffix; ++suffix) {
    std::string name = suffix == 0 ? base : base + "-" + std::to_string(suffix);
    if (renameNoReplace(file, folder / name)) {
      syncFolder(folder);
      return {};
    }
    if (errno == ENOENT) return {};  // someone else moved or removed it meanwhile
    if (errno != EEXIST && errno != ENOTEMPTY) {
      return posixError("cannot move aside " + file.string(), errno);
    }
  }
  return posixError("no free name beside " + file.string(), EEXIST);
}

}  // namespace quillmoss::daily
