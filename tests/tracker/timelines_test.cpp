// Usage segment merging and activity intervals.
#include "timelines.h"

#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using TimelinesTest = TrackerTest;

daily::Segment seg(const std::string& key, double from, double to) {
  return daily::Segment{key, from, to};
}

TEST_F(TimelinesTest, EmptyOrReversedStretchRecordsNothing) {
  TrackerState& s = makeState();
  recordSegment(s, "A", 100.0, 100.0);
  recordSegment(s, "A", 100.0, 90.0);
  EXPECT_TRUE(s.segmentSpans.empty());
}

TEST_F(TimelinesTest, MergeGapOfExactlySixtySecondsMergesAndMoreAppends) {
  TrackerState& s = makeState();
  s.segmentSpans = {seg("A", 0.0, 100.0)};
  recordSegment(s, "A", 160.0, 190.0);
  EXPECT_EQ(s.segmentSpans, (daily::SegmentList{seg("A", 0.0, 190.0)}));
  s.segmentSpans = {seg("A", 0.0, 100.0)};
  recordSegment(s, "A", 160.5, 190.0);
  EXPECT_EQ(s.segmentSpans, (daily::SegmentList{seg("A", 0.0, 100.0), seg("A", 160.5, 190.0)}));
}

TEST_F(TimelinesTest, OverlapMergesAndOverwritesTheEnd) {
  TrackerState& s = makeState();
  s.segmentSpans = {seg("A", 0.0, 100.0)};
  recordSegment(s, "A", 90.0, 95.0);
  EXPECT_EQ(s.segmentSpans, (daily::SegmentList{seg("A", 0.0, 95.0)}));
}

TEST_F(TimelinesTest, DifferentKeysNeverMerge) {
  TrackerState& s = makeState();
  s.segmentSpans = {seg("A", 0.0, 100.0)};
  recordSegment(s, "B", 100.0, 130.0);
  recordSegment(s, "A", 130.0, 160.0);
  EXPECT_EQ(s.segmentSpans, (daily::SegmentList{seg("A", 0.0, 100.0), seg("B", 100.0, 130.0),
                                                seg("A", 130.0, 160.0)}));
  // A browser key with a domain and the bare browser are different keys.
  recordSegment(s, "com.apple.Safari#example.org", 160.0, 170.0);
  recordSegment(s, "com.apple.Safari", 170.0, 180.0);
  EXPECT_EQ(s.segmentSpans.size(), 5u);
}

TEST_F(TimelinesTest, LoadedLastSegmentOfOddShapeIsNeverMergedInto) {
  TrackerState& s = makeState();
  // First entry not a string.
  s.segmentSpans = {daily::Segment{std::int64_t{7}, 0.0, 100.0}};
  recordSegment(s, "A", 100.0, 130.0);
  ASSERT_EQ(s.segmentSpans.size(), 2u);
  EXPECT_EQ(s.segmentSpans[0], (daily::Segment{std::int64_t{7}, 0.0, 100.0}));
  // Third entry not a number.
  s.segmentSpans = {daily::Segment{std::string("A"), 0.0, std::string("100")}};
  recordSegment(s, "A", 100.0, 130.0);
  ASSERT_EQ(s.segmentSpans.size(), 2u);
  EXPECT_EQ(s.segmentSpans[1], seg("A", 100.0, 130.0));
  // An integral end as read from a file merges like any number.
  s.segmentSpans = {daily::Segment{std::string("A"), std::int64_t{0}, std::int64_t{100}}};
  recordSegment(s, "A", 120.0, 130.0);
  ASSERT_EQ(s.segmentSpans.size(), 1u);
  EXPECT_EQ(s.segmentSpans[0][2].asDouble(), 130.0);
}

TEST_F(TimelinesTest, ActivityStartsExtendsAndSplitsAfterSixHundredSeconds) {
  TrackerState& s = makeState();
  const double t = clock.wall;
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t}}));
  clock.wall = t + 30;
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t + 30}}));
  clock.wall = t + 630;  // exactly 600 s after the end
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t + 630}}));
  clock.wall = t + 1230.5;
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{t, t + 630}, {t + 1230.5, t + 1230.5}}));
}

TEST_F(TimelinesTest, IdleAtThresholdRecordsNoActivity) {
  TrackerState& s = makeState();
  idle.idle = 300.0;
  recordActivity(s);
  EXPECT_TRUE(s.activityIntervals.empty());
  idle.idle = 299.9;
  recordActivity(s);
  EXPECT_EQ(s.activityIntervals.size(), 1u);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
