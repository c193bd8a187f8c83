// The real clocks on Linux.
#include "platform/linux/system_clock.h"

#include <ctime>

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

std::string SystemClock::dayString(double instant) {
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
