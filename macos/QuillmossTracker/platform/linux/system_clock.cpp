// The real clocks on Linux.
#include "platform/linux/system_clock.h"

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string_view>

#include "daily_data/daily_data.h"

namespace quillmoss::tracker {
namespace {

double seconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

double SystemClock::now() {
  return seconds(CLOCK_REALTIME);
}

bool SystemClock::ZoneSource::operator==(const ZoneSource& other) const {
  return tz == other.tz && device == other.device && inode == other.inode &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
         size == other.size;
}

SystemClock::ZoneSource SystemClock::currentZoneSource() {
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
    source.modified = info.st_mtim;
    source.size = info.st_size;
  }
  return source;
}

std::string SystemClock::dayString(double instant) {
  // The C library reads the zone once; a user who travels or picks another zone expects the
  // day to end at the new midnight, as a host started later would.
  ZoneSource source = currentZoneSource();
  if (zone_ != source) {
    // Under an unchanged TZ the C library would keep its copy of the rewritten file: another
    // value in between makes it read the file again. (The tracker runs no other threads.)
    if (zone_ && source.tz && zone_->tz == source.tz) {
      ::setenv("TZ", "UTC0", 1);
      ::tzset();
      ::setenv("TZ", source.tz->c_str(), 1);
    }
    ::tzset();
    zone_ = std::move(source);
  }
  return daily::localDayString(instant);
}

double SystemClock::suspendedSeconds() {
  const double monotonic = seconds(CLOCK_MONOTONIC);
  return seconds(CLOCK_BOOTTIME) - monotonic;
}

double SystemClock::awakeSeconds() {
  return seconds(CLOCK_MONOTONIC);
}

}  // namespace quillmoss::tracker
