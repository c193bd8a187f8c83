// The real clocks on Linux: wall time, the local day and the time spent suspended.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace quillmoss::tracker {

class SystemClock final : public Clock {
 public:
  double now() override;
  // Follows changes of the time zone (TZ, or the zone file it names or /etc/localtime) made
  // since the last call, so days split at the new local midnight.
  std::string dayString(double instant) override;
  // CLOCK_BOOTTIME (counts suspension) minus CLOCK_MONOTONIC (does not).
  double suspendedSeconds() override;
  double awakeSeconds() override;

 private:
  // What the C library's zone was read from; it reads again (tzset) only when this changes.
  struct ZoneSource {
    std::optional<std::string> tz;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    off_t size = -1;
    bool operator==(const ZoneSource& other) const;
  };
  static ZoneSource currentZoneSource();

  std::optional<ZoneSource> zone_;
};

}  // namespace quillmoss::tracker
