// Usage segment merging and activity intervals.
#include "timelines.h"

#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using TimelinesTest = TrackerTest;
using daily::Segment;
using daily::SegmentList;

TEST_F(TimelinesTest, SegmentsMergeOnlyWithTheSameKeyWithinSixtySeconds) {
  const std::string a = "A", b = "B", web = "S#example.org", bare = "S";
  const daily::JsonValue i0{std::int64_t{0}}, i100{std::int64_t{100}}, text{std::string("9")};
  struct Case {
    const char* name;
    SegmentList before;
    std::string key;
    double from, to;
    SegmentList after;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s.segmentSpans = c.before;
    recordSegment(s, c.key, c.from, c.to);
    EXPECT_EQ(s.segmentSpans, c.after);
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
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t}}));
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
