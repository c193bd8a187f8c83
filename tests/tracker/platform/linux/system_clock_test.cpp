// The real clocks: the local day follows time-zone changes made while the tracker runs.
#include "platform/linux/system_clock.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "accounting.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

namespace fs = std::filesystem;

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

TEST_F(ZoneChangeTest, AZoneFileReplacedInPlaceIsReadAgain) {
  const fs::path zones = "/usr/share/zoneinfo";
  if (!fs::exists(zones / "Etc/GMT+12") || !fs::exists(zones / "Etc/GMT-14")) {
    GTEST_SKIP() << "no time-zone data";
  }
  const fs::path zone = root.path() / "localtime";
  fs::copy_file(zones / "Etc/GMT+12", zone);
  ::setenv("TZ", (":" + zone.string()).c_str(), 1);
  SystemClock system;
  EXPECT_EQ(system.dayString(kMorning), "2026-12-05");
  fs::copy_file(zones / "Etc/GMT-14", zone, fs::copy_options::overwrite_existing);
  // A coarse file-system clock may not move within the test.
  fs::last_write_time(zone, fs::last_write_time(zone) + std::chrono::seconds(5));
  EXPECT_EQ(system.dayString(kMorning), "2026-12-07");
}

}  // namespace
}  // namespace quillmoss::tracker::testing
