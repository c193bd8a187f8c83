// The real clocks on Linux: wall time, the local day and the time spent suspended.
#pragma once

#include <string>

#include "platform/clock.h"

namespace quillmoss::tracker {

class SystemClock final : public Clock {
 public:
  double now() override;
  // Days split at the local midnight of the zone as it stands now (daily_data/local_zone.h).
  std::string dayString(double instant) override;
  // CLOCK_BOOTTIME (counts suspension) minus CLOCK_MONOTONIC (does not).
  double suspendedSeconds() override;
  double awakeSeconds() override;
};

}  // namespace quillmoss::tracker
