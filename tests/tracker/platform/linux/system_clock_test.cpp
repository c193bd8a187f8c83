// The real clocks: the local day follows time-zone changes made while the tracker runs.
#include "platform/linux/system_clock.h"

#include <cstdlib>
#include <ctime>

#include "accounting.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

class ZoneChangeTest : public TrackerTest {
 protected:
  ~ZoneChangeTest() override {
    ::unsetenv("TZ");
    ::tzset();
  }
};

TEST_F(ZoneChangeTest, TheDayFollowsAZoneChangedUnderARunningState) {
  SystemClock system;
  ::setenv("TZ", "AAA+12", 1);  // twelve hours behind UTC
  TrackerState s{system, idle, workspace, scripts, loop, nullptr, dataDir};
  s.currentDay = system.dayString(system.now());
  const std::string before = s.currentDay;
  ::setenv("TZ", "BBB-14", 1);  // fourteen ahead: another day, whatever the time
  rollDayIfNeeded(s);
  EXPECT_NE(s.currentDay, before);
  EXPECT_EQ(s.currentDay, system.dayString(system.now()));
}

}  // namespace
}  // namespace quillmoss::tracker::testing
