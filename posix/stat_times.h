// The access and modification times of a stat result, under the names each system gives them.
#pragma once

#include <sys/stat.h>

#include <ctime>

namespace quillmoss::posix {

inline timespec accessTime(const struct stat& info) {
#if defined(__APPLE__)
  return info.st_atimespec;
#else
  return info.st_atim;
#endif
}

inline timespec modificationTime(const struct stat& info) {
#if defined(__APPLE__)
  return info.st_mtimespec;
#else
  return info.st_mtim;
#endif
}

}  // namespace quillmoss::posix
