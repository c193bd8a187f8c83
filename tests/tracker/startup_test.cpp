// Start-up in order, and the first flush tick.
#include "startup.h"

#include "callbacks.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using StartupTest = TrackerTest;

TEST_F(StartupTest, ContinuesTodaysFilesAndRewritesThemAtTheFirstTick) {
  writeBytes(file("usage_", kToday), R"({"org.example.editor":100,"x":2.5})");
  writeBytes(file("activity_", kToday), "[[1,2],[3]]");
  writeBytes(file("segments_", kToday), R"([["x",1,2],[5,1]])");
  workspace.frontmost = kEditor;
  TrackerState& s = makeState();
  ASSERT_TRUE(startTracker(s));
  // Elements shorter than their format never reach the merge steps.
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{1.0, 2.0}}));
  EXPECT_EQ(s.segmentSpans.size(), 1u);

  scheduleCallbacks(s);
  loop.advance(29.9);
  EXPECT_EQ(readBytes(file("usage_", kToday)), R"({"org.example.editor":100,"x":2.5})");
  loop.advance(0.1);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value,
            (daily::UsageMap{{kEditor, 130.0}, {"x", 2.5}}));
  EXPECT_EQ(daily::loadSegments(file("segments_", kToday)).value.size(), 2u);
  EXPECT_EQ(folderEntries().size(), 3u);
}

TEST_F(StartupTest, LoginWindowInFrontTimesNothingAndNothingIsWrittenBeforeTheFirstTick) {
  workspace.frontmost = kLoginWindow;
  TrackerState& s = makeState();
  ASSERT_TRUE(startTracker(s));
  scheduleCallbacks(s);
  loop.advance(29);
  EXPECT_TRUE(folderEntries().empty());
  loop.advance(1);
  EXPECT_EQ(readBytes(file("usage_", kToday)), "{}");
  EXPECT_EQ(readBytes(file("segments_", kToday)), "[]");
  EXPECT_EQ(daily::loadActivity(file("activity_", kToday)).value,
            (daily::ActivityList{{kMorning + 30, kMorning + 30}}));
  loop.advance(270);
  workspace.activate(kTerminal);
  loop.advance(30);
  EXPECT_EQ(s.usageData, (daily::UsageMap{{kTerminal, 30.0}}));
}

}  // namespace
}  // namespace quillmoss::tracker::testing
