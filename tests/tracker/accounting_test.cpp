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

TEST_F(AccountingTest, NoStretchEarnsMoreThanTheTimeAwakeWhateverTheWallClockSays) {
  struct Case {
    const char* what;
    double passed, slept, wallSetBy;  // slept: growth of the suspension reading
    double credit, segment;           // segment: length of the one segment ending now, or 0
  };
  const Case cases[] = {
      {"a 5 ms wobble of the suspension reading is noise", 30.0, 0.005, 0.0, 30.0, 30.0},
      {"asleep for an hour", 3630.0, 3600.0, 0.0, 30.0, 0.0},
      {"a short nap is subtracted, the stretch still a segment", 31.5, 1.5, 0.0, 30.0, 31.5},
      {"asleep longer than the wall clock moved", 10.0, 100.0, 0.0, 0.0, 0.0},
      {"the wall clock set 5 hours ahead", 40.0, 0.0, 5 * 3600.0, 40.0, 40.0},
      {"the wall clock set ahead while asleep", 640.0, 600.0, 3600.0, 40.0, 0.0},
      {"the wall clock set back", 40.0, 0.0, -3600.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clock.wall = kMorning;
    TrackerState& s = makeRunning(kEditor);
    clock.wall += c.passed;
    clock.suspended += c.slept;
    clock.setWallClockBy(c.wallSetBy);
    flushCurrentApp(s);
    EXPECT_EQ(s.usageData.at(kEditor), c.credit);
    ASSERT_EQ(s.segmentSpans.size(), c.segment > 0.0 ? 1u : 0u);
    if (c.segment > 0.0) {
      EXPECT_EQ(s.segmentSpans[0][2].asDouble(), clock.wall);
      EXPECT_EQ(clock.wall - s.segmentSpans[0][1].asDouble(), c.segment);
    }
  }
}

}  // namespace
}  // namespace quillmoss::tracker::testing
