// Start-up, the first flush tick, and a whole day with its midnight, played through the loop.
#include "startup.h"

#include "callbacks.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using FullDayTest = TrackerTest;
using StartupTest = TrackerTest;

constexpr double kHour = 3600.0, kMinute = 60.0;

TEST_F(StartupTest, ContinuesUsableFilesAndMovesADamagedOneAsideAtTheFirstTick) {
  const std::string damaged = R"(["not", "a usage map"])";  // the day files' table says which
  writeBytes(file("usage_", kToday), damaged);
  writeBytes(file("activity_", kToday), "[[1,2],[3]]");
  writeBytes(file("segments_", kToday), R"([["x",1,2],[5,1]])");
  TrackerState& s = makeRunning();
  // A damaged file's day starts empty; elements shorter than their format never reach merging.
  EXPECT_TRUE(s.usageData.empty());
  EXPECT_EQ(s.activityIntervals, (daily::ActivityList{{1.0, 2.0}}));
  EXPECT_EQ(s.segmentSpans.size(), 1u);

  scheduleCallbacks(s);
  loop.advance(29.9);
  EXPECT_EQ(readBytes(file("usage_", kToday)), damaged);
  loop.advance(0.1);
  const std::string aside =
      "usage_2026-12-06.json.damaged-" + std::to_string(std::int64_t(kMorning + 30));
  EXPECT_EQ(folderEntries(),
            (std::vector<std::string>{"activity_2026-12-06.json", "segments_2026-12-06.json",
                                      "usage_2026-12-06.json", aside}));
  EXPECT_EQ(readBytes(dataDir / aside), damaged);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value, (daily::UsageMap{{kEditor, 30.0}}));
  EXPECT_EQ(daily::loadSegments(file("segments_", kToday)).value.size(), 2u);
  loop.advance(30);  // only the first save moves anything aside
  EXPECT_EQ(folderEntries().size(), 4u);
}

TEST_F(StartupTest, LoginWindowOrNoIdentifierTimesNothingAndFilesWaitForTheFirstTick) {
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
  workspace.activate(kEditor);
  loop.advance(10);
  workspace.activate(kLoginWindow);
  loop.advance(500);
  workspace.activate(kTerminal);
  loop.advance(5);
  workspace.activate(std::nullopt);  // an application without identifier
  loop.advance(100);
  EXPECT_EQ(s.usageData, (daily::UsageMap{{kEditor, 10.0}, {kTerminal, 5.0}}));
}

TEST_F(FullDayTest, ADayOfWorkEndsInThreeFilesPerDay) {
  // Local time is UTC+1; the day starts at 08:00 local, 2026-12-06.
  clock.utcOffset = 3600;
  const double start = kMorning - 3 * kHour;  // 2026-12-06 07:00 UTC
  clock.wall = start;
  const std::string safariKey = std::string(kSafari) + "#example.org";
  workspace.frontmost = kEditor;
  TrackerState& s = makeState();
  scripts.outcomes[s.kBrowserTabScripts.at(kSafari)] =
      FakeScriptRunner::url("https://www.example.org/path");
  ASSERT_TRUE(startTracker(s));
  scheduleCallbacks(s);

  loop.advance(2 * kHour);  // 10:00
  workspace.activate(kSafari);
  loop.advance(30 * kMinute);
  workspace.activate(kEditor);
  loop.advance(90 * kMinute);  // 12:00: screen locked, away for an hour
  idle.idle = 1000;
  workspace.activate("com.apple.loginwindow");
  loop.advance(kHour);
  idle.idle = 0;
  workspace.activate(kEditor);
  loop.advance(10 * kHour + 50 * kMinute);  // 23:50
  workspace.activate(kTerminal);
  loop.advance(20 * kMinute + 5);  // 00:10:05 of the next day
  loop.raise(15);
  ASSERT_EQ(loop.quitStatus, 0);

  const double midnight = start + 16 * kHour;
  EXPECT_EQ(daily::loadUsage(file("usage_", "2026-12-06")).value,
            (daily::UsageMap{
                {kEditor, 7200.0 + 5400.0 + 39000.0}, {kTerminal, 600.0}, {safariKey, 1800.0}}));
  EXPECT_EQ(daily::loadSegments(file("segments_", "2026-12-06")).value,
            (daily::SegmentList{
                {std::string(kEditor), start, start + 2 * kHour},
                {safariKey, start + 2 * kHour, start + 2.5 * kHour},
                {std::string(kEditor), start + 2.5 * kHour, start + 4 * kHour},
                {std::string(kEditor), start + 5 * kHour, midnight - 10 * kMinute},
                {std::string(kTerminal), midnight - 10 * kMinute, midnight},
            }));
  EXPECT_EQ(daily::loadActivity(file("activity_", "2026-12-06")).value,
            (daily::ActivityList{{start + 30, start + 4 * kHour},
                                 {start + 5 * kHour + 30, midnight - 30}}));
  EXPECT_EQ(daily::loadUsage(file("usage_", "2026-12-07")).value,
            (daily::UsageMap{{kTerminal, 605.0}}));
  EXPECT_EQ(daily::loadSegments(file("segments_", "2026-12-07")).value,
            (daily::SegmentList{{std::string(kTerminal), midnight, midnight + 605.0}}));
  EXPECT_EQ(daily::loadActivity(file("activity_", "2026-12-07")).value,
            (daily::ActivityList{{midnight, midnight + 600.0}}));
  EXPECT_EQ(folderEntries().size(), 6u);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
