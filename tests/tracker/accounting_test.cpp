// Crediting time per usage key, merging segments and activity intervals.
#include "accounting.h"

#include "timelines.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using AccountingTest = TrackerTest;
using TimelinesTest = TrackerTest;
using daily::SegmentList;

TEST_F(AccountingTest, IdleTenMinutesStillCreditsButRecordsNoSegment) {
  TrackerState& s = makeRunning();
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
  // Seconds passed, slept (growth of the suspension reading) and the wall clock set by; the
  // credit, and the length of the one segment ending now (or 0 for none).
  const std::tuple<const char*, double, double, double, double, double> cases[] = {
      {"a 5 ms wobble of the suspension reading is noise", 30.0, 0.005, 0.0, 30.0, 30.0},
      {"asleep for an hour", 3630.0, 3600.0, 0.0, 30.0, 0.0},
      {"a short nap is subtracted, the stretch still a segment", 31.5, 1.5, 0.0, 30.0, 31.5},
      {"asleep longer than the wall clock moved", 10.0, 100.0, 0.0, 0.0, 0.0},
      {"the wall clock set 5 hours ahead", 40.0, 0.0, 5 * 3600.0, 40.0, 40.0},
      {"the wall clock set ahead while asleep", 640.0, 600.0, 3600.0, 40.0, 0.0},
      {"the wall clock set back", 40.0, 0.0, -3600.0, 0.0, 0.0},
  };
  for (const auto& [what, passed, slept, wallSetBy, credit, segment] : cases) {
    SCOPED_TRACE(what);
    clock.wall = kMorning;
    TrackerState& s = makeRunning();
    clock.wall += passed;
    clock.suspended += slept;
    clock.setWallClockBy(wallSetBy);
    flushCurrentApp(s);
    EXPECT_EQ(s.usageData.at(kEditor), credit);
    const SegmentList one{{std::string(kEditor), clock.wall - segment, clock.wall}};
    EXPECT_EQ(s.segmentSpans, segment > 0.0 ? one : SegmentList{});
  }
}

TEST_F(TimelinesTest, SegmentsMergeOnlyWithTheSameKeyWithinSixtySeconds) {
  const std::string a = "A", b = "B", web = "S#example.org", bare = "S";
  const daily::JsonValue i0{std::int64_t{0}}, i100{std::int64_t{100}}, text{std::string("9")};
  const std::tuple<const char*, SegmentList, std::string, double, double, SegmentList> cases[] = {
      {"Empty", {}, a, 100, 100, {}},
      {"Reversed", {}, a, 100, 90, {}},
      {"GapOfSixty", {{a, 0.0, 100.0}}, a, 160, 190, {{a, 0.0, 190.0}}},
      {"GapOverSixty", {{a, 0.0, 100.0}}, a, 160.5, 190, {{a, 0.0, 100.0}, {a, 160.5, 190.0}}},
      {"OverlapOverwritesEnd", {{a, 0.0, 100.0}}, a, 90, 95, {{a, 0.0, 95.0}}},
      {"OtherKey", {{a, 0.0, 100.0}}, b, 100, 130, {{a, 0.0, 100.0}, {b, 100.0, 130.0}}},
      {"DomainKey", {{web, 0.0, 10.0}}, bare, 10, 20, {{web, 0.0, 10.0}, {bare, 10.0, 20.0}}},
      // Loaded segments of odd shape are never merged into; integral numbers are.
      {"KeyNotAString", {{i100, 0.0, 9.0}}, a, 10, 20, {{i100, 0.0, 9.0}, {a, 10.0, 20.0}}},
      {"EndNotANumber", {{a, 0.0, text}}, a, 10, 20, {{a, 0.0, text}, {a, 10.0, 20.0}}},
      {"IntegralEnd", {{a, i0, i100}}, a, 120, 130, {{a, i0, 130.0}}},
  };
  TrackerState& s = makeState();
  for (const auto& [name, before, key, from, to, after] : cases) {
    SCOPED_TRACE(name);
    s.segmentSpans = before;
    recordSegment(s, key, from, to);
    EXPECT_EQ(s.segmentSpans, after);
  }
}

TEST_F(TimelinesTest, ActivityStartsExtendsAndSplitsAfterSixHundredSecondsUnlessIdle) {
  TrackerState& s = makeState();
  const double t = clock.wall;
  idle.idle = 300.0;  // idle at the threshold records nothing
  recordActivity(s);
  EXPECT_TRUE(s.activityIntervals.empty());
  idle.idle = 299.9;
  recordActivity(s);
  clock.wall = t + 30;
  recordActivity(s);
  clock.wall = t + 630;  // exactly 600 s after the end
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t + 630}}));
  clock.wall = t + 1230.5;
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t + 630}, {t + 1230.5, t + 1230.5}}));
}

}  // namespace
}  // namespace quillmoss::tracker::testing
