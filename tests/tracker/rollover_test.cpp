// The change of day, and termination.
#include "accounting.h"
#include "callbacks.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using RolloverTest = TrackerTest;

TEST_F(RolloverTest, ClockSetBackOneDaySavesUnderLaterDayAndContinuesEarlierDay) {
  writeBytes(file("usage_", "2026-12-05"), R"({"org.example.editor":1000.5})");
  TrackerState& s = makeRunning(kEditor);
  clock.wall += 30;
  onFlushTimer(s);
  clock.wall -= 86400;
  onAppActivated(s, std::string(kTerminal));
  EXPECT_EQ(s.currentDay, "2026-12-05");
  // The flush at the change of day saw a clock set back by a day: nothing is credited for it.
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 30.0);
  EXPECT_EQ(s.usageData.at(kEditor), 1000.5);
  EXPECT_EQ(s.activeBundle, kTerminal);
}

// The signal's number makes no difference past the loop's handler.
TEST_F(RolloverTest, TerminationAfterMidnightWritesTheOldDayOnce) {
  clock.wall = kBeforeMidnight;
  TrackerState& s = makeRunning(kEditor);
  clock.wall += 20;  // 00:00:05, before the next tick
  onTerminationSignal(s, 15);
  EXPECT_EQ(loop.quitStatus, 0);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 20.0);
  EXPECT_EQ(daily::loadSegments(file("segments_", kToday)).value.size(), 1u);
  EXPECT_EQ(readBytes(file("activity_", kToday)), "[]");
  EXPECT_FALSE(std::filesystem::exists(file("usage_", "2026-12-07")));
  // A second request (a signal and the end of the session together) changes nothing.
  clock.wall += 3;
  onTerminationSignal(s, 2);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 20.0);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
