// A whole day, midnight included, played through the run loop on virtual time.
#include "daily_data/daily_data.h"
#include "startup.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using FullDayTest = TrackerTest;

constexpr double kHour = 3600.0;
constexpr double kMinute = 60.0;

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
  const auto usage1 = daily::loadUsage(file("usage_", "2026-12-06"));
  ASSERT_EQ(usage1.status, daily::LoadStatus::Loaded);
  EXPECT_EQ(usage1.value,
            (daily::UsageMap{
                {kEditor, 7200.0 + 5400.0 + 39000.0}, {kTerminal, 600.0}, {safariKey, 1800.0}}));
  const auto segments1 = daily::loadSegments(file("segments_", "2026-12-06"));
  EXPECT_EQ(segments1.value, (daily::SegmentList{
                                 {std::string(kEditor), start, start + 2 * kHour},
                                 {safariKey, start + 2 * kHour, start + 2.5 * kHour},
                                 {std::string(kEditor), start + 2.5 * kHour, start + 4 * kHour},
                                 {std::string(kEditor), start + 5 * kHour, midnight - 10 * kMinute},
                                 {std::string(kTerminal), midnight - 10 * kMinute, midnight},
                             }));
  const auto activity1 = daily::loadActivity(file("activity_", "2026-12-06"));
  EXPECT_EQ(activity1.value, (daily::ActivityList{{start + 30, start + 4 * kHour},
                                                  {start + 5 * kHour + 30, midnight - 30}}));

  const auto usage2 = daily::loadUsage(file("usage_", "2026-12-07"));
  EXPECT_EQ(usage2.value, (daily::UsageMap{{kTerminal, 605.0}}));
  const auto segments2 = daily::loadSegments(file("segments_", "2026-12-07"));
  EXPECT_EQ(segments2.value,
            (daily::SegmentList{{std::string(kTerminal), midnight, midnight + 605.0}}));
  const auto activity2 = daily::loadActivity(file("activity_", "2026-12-07"));
  EXPECT_EQ(activity2.value, (daily::ActivityList{{midnight, midnight + 600.0}}));
  EXPECT_EQ(folderEntries().size(), 6u);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
