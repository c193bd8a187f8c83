// The real clocks on macOS: the local day follows a change of time zone made while running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/macos/macos_tracker_ports.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

TEST(MacosClock, TheDayFollowsAZoneChangedWhileRunning) {
  auto clock = makeMacosClock();
  ::setenv("TZ", "Etc/GMT+12", 1);  // twelve hours behind UTC
  EXPECT_EQ(clock->dayString(kMorning), "2026-12-05");
  ::setenv("TZ", "Etc/GMT-14", 1);  // fourteen ahead
  EXPECT_EQ(clock->dayString(kMorning), "2026-12-07");
  ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace quillmoss::tracker::testing
