// Crediting time per usage key.
#include "accounting.h"

#include "callbacks.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using AccountingTest = TrackerTest;

TEST_F(AccountingTest, NothingIsCreditedWithoutAKeyOrToTheLoginWindow) {
  TrackerState& s = makeRunning(std::nullopt);
  clock.wall += 30;
  flushCurrentApp(s);
  EXPECT_TRUE(s.usageData.empty());
  EXPECT_EQ(s.lastSwitch, kMorning);
  onAppActivated(s, std::string(kEditor));
  clock.wall += 10;
  onAppActivated(s, std::string(kLoginWindow));
  EXPECT_FALSE(s.activeBundle);
  clock.wall += 500;
  onFlushTimer(s);
  onAppActivated(s, std::string(kTerminal));
  clock.wall += 5;
  onAppActivated(s, std::nullopt);  // an application without identifier stops timing too
  clock.wall += 100;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData, (daily::UsageMap{{kEditor, 10.0}, {kTerminal, 5.0}}));
  EXPECT_EQ(s.segmentSpans.size(), 2u);
}

TEST_F(AccountingTest, ZeroElapsedInsertsTheKeyAndReactivationGrowsOneSegment) {
  TrackerState& s = makeRunning(kEditor);
  const double start = clock.wall;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData, (daily::UsageMap{{kEditor, 0.0}}));
  EXPECT_TRUE(s.segmentSpans.empty());
  clock.wall += 20.25;
  onAppActivated(s, std::string(kEditor));
  EXPECT_EQ(s.lastSwitch, clock.wall);
  clock.wall += 15;
  onAppActivated(s, std::string(kEditor));
  EXPECT_EQ(s.usageData.at(kEditor), 35.25);
  EXPECT_EQ(s.segmentSpans, (daily::SegmentList{{std::string(kEditor), start, start + 35.25}}));
}

TEST_F(AccountingTest, IdleTenMinutesStillCreditsButRecordsNoSegment) {
  TrackerState& s = makeRunning(kEditor);
  const double start = clock.wall;
  // The last input was at start; flush every 30 s for ten minutes.
  for (int tick = 1; tick <= 20; ++tick) {
    clock.wall = start + 30.0 * tick;
    idle.idle = 30.0 * tick;
    flushCurrentApp(s);
  }
  EXPECT_EQ(s.usageData.at(kEditor), 600.0);
  // Ticks up to idle 270 s report and merge; from 300 s on nothing is reported.
  EXPECT_EQ(s.segmentSpans, (daily::SegmentList{{std::string(kEditor), start, start + 270.0}}));
}

}  // namespace
}  // namespace quillmoss::tracker::testing
