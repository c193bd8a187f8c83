// The real clocks on Linux: wall time, the local day and the time spent suspended.
#pragma once

#include "platform/clock.h"

namespace quillmoss::tracker {

class SystemClock final : public Clock {
 public:
  double now() override;
  std::string dayString(double instant) override;
  // CLOCK_BOOTTIME (counts suspension) minus CLOCK_MONOTONIC (does not).
  double suspendedSeconds() override;
  double awakeSeconds() override;
};

}  // namespace quillmoss::tracker
