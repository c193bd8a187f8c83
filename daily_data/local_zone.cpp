// Following changes of the local time zone; see local_zone.h.
#include "daily_data/local_zone.h"

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "posix/stat_times.h"

namespace quillmoss::daily {
namespace {

// What the C library's zone was read from.
struct ZoneSource {
  std::optional<std::string> tz;
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  off_t size = -1;
  bool operator==(const ZoneSource& other) const {
    return tz == other.tz && device == other.device && inode == other.inode &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           size == other.size;
  }
};

ZoneSource currentZoneSource() {
  ZoneSource source;
  const char* tz = std::getenv("TZ");
  if (tz != nullptr) source.tz = tz;
  // The file the C library reads: /etc/localtime without TZ, else the one TZ names (":" first
  // is optional), absolute or below the zone folder. A POSIX rule such as "UTC0" names none.
  std::string file = "/etc/localtime";
  if (source.tz) {
    std::string_view name = *source.tz;
    if (name.starts_with(':')) name.remove_prefix(1);
    const char* zoneDir = std::getenv("TZDIR");
    file = name.starts_with('/') ? std::string(name)
                                 : std::string(zoneDir != nullptr ? zoneDir : "/usr/share/zoneinfo")
                                       .append("/")
                                       .append(name);
  }
  struct stat info {};
  if (::stat(file.c_str(), &info) == 0) {  // through links: a new target is a change
    source.device = info.st_dev;
    source.inode = info.st_ino;
    source.modified = posix::modificationTime(info);
    source.size = info.st_size;
  }
  return source;
}

}  // namespace

bool localTimeNow(std::time_t seconds, std::tm& local) {
  // The zone is the process's, so what it was read from is too. Conversions hold the same lock,
  // so none of ours sees the zone while it is being read again.
  static std::mutex mutex;
  static std::optional<ZoneSource> zone;
  ZoneSource source = currentZoneSource();
  std::lock_guard lock(mutex);
  if (!(zone == source)) {
    // Under an unchanged TZ the C library keeps its copy of a rewritten file: another value in
    // between makes it read the file again.
    if (zone && source.tz && zone->tz == source.tz) {
      ::setenv("TZ", "UTC0", 1);
      ::tzset();
      ::setenv("TZ", source.tz->c_str(), 1);
    }
    ::tzset();
    zone = std::move(source);
  }
  return localtime_r(&seconds, &local) != nullptr;
}

}  // namespace quillmoss::daily
