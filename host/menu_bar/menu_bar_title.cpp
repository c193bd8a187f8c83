// Builds the ticker's title from the start time, the clock and the people count.
#include "menu_bar/menu_bar_title.h"

#include <cmath>
#include <cstdio>

namespace quillmoss::host {

namespace {
constexpr const char* kStopwatch = "\u23F1";
constexpr const char* kBusts = "\U0001F465";
// 2^63: the first double that no longer fits a signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;
}  // namespace

std::int64_t elapsedWholeSeconds(double now, double startedAt) {
  const double elapsed = std::trunc(now - startedAt);
  // NaN fails every comparison, so it lands here too.
  if (!(elapsed > 0) || !(elapsed < kInt64Limit)) return 0;
  return static_cast<std::int64_t>(elapsed);
}

std::string menuBarTitle(double now, double startedAt, std::int64_t peopleStudying) {
  const std::int64_t s = elapsedWholeSeconds(now, startedAt);
  const long long hours = s / 3600;
  const int minutes = static_cast<int>((s % 3600) / 60);
  const int seconds = static_cast<int>(s % 60);
  char time[48];
  if (s >= 3600) {
    std::snprintf(time, sizeof time, "%lld:%02d:%02d", hours, minutes, seconds);
  } else {
    std::snprintf(time, sizeof time, "%02d:%02d", minutes, seconds);
  }
  const long long count = peopleStudying >= 2 ? peopleStudying : 1;
  return std::string(kStopwatch) + " " + time + "  " + kBusts + " " + std::to_string(count);
}

}  // namespace quillmoss::host
