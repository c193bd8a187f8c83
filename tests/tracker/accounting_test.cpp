// Crediting time per usage key, and the usage key rule.
#include "accounting.h"

#include "callbacks.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using AccountingTest = TrackerTest;

TEST_F(AccountingTest, FlushWithoutKeyChangesNothing) {
  TrackerState& s = makeRunning(std::nullopt);
  const double before = s.lastSwitch;
  clock.wall += 30;
  flushCurrentApp(s);
  EXPECT_TRUE(s.usageData.empty());
  EXPECT_TRUE(s.segmentSpans.empty());
  EXPECT_EQ(s.lastSwitch, before);
}

TEST_F(AccountingTest, FirstCreditInsertsKeyAndZeroElapsedKeepsIt) {
  TrackerState& s = makeRunning(kEditor);
  flushCurrentApp(s);
  ASSERT_EQ(s.usageData.count(kEditor), 1u);
  EXPECT_EQ(s.usageData[kEditor], 0.0);
  EXPECT_TRUE(s.segmentSpans.empty());
  clock.wall += 12.25;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData[kEditor], 12.25);
  EXPECT_EQ(s.lastSwitch, clock.wall);
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
  EXPECT_EQ(s.usageData[kEditor], 600.0);
  // Ticks up to idle 270 s report and merge; from 300 s on nothing is reported.
  ASSERT_EQ(s.segmentSpans.size(), 1u);
  EXPECT_EQ(s.segmentSpans[0][1].asDouble(), start);
  EXPECT_EQ(s.segmentSpans[0][2].asDouble(), start + 270.0);
}

TEST_F(AccountingTest, TwoHoursAwakeCreditedAtOnceAsOneSegment) {
  TrackerState& s = makeRunning(kEditor);
  const double start = clock.wall;
  clock.wall += 7200.0;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData[kEditor], 7200.0);
  ASSERT_EQ(s.segmentSpans.size(), 1u);
  EXPECT_EQ(s.segmentSpans[0], (daily::Segment{std::string(kEditor), start, start + 7200.0}));
}

TEST_F(AccountingTest, LoginWindowIsNeverCredited) {
  TrackerState& s = makeRunning(kEditor);
  clock.wall += 10;
  onAppActivated(s, std::string("com.apple.loginwindow"));
  EXPECT_EQ(s.usageData[kEditor], 10.0);
  EXPECT_FALSE(s.activeBundle);
  clock.wall += 500;
  onFlushTimer(s);
  EXPECT_EQ(s.usageData.size(), 1u);
  EXPECT_EQ(s.usageData[kEditor], 10.0);
  onAppActivated(s, std::string(kTerminal));
  clock.wall += 5;
  onFlushTimer(s);
  EXPECT_EQ(s.usageData[kTerminal], 5.0);
  EXPECT_EQ(s.usageData[kEditor], 10.0);
}

TEST_F(AccountingTest, ActivationWithoutIdentifierStopsTiming) {
  TrackerState& s = makeRunning(kEditor);
  clock.wall += 7;
  onAppActivated(s, std::nullopt);
  clock.wall += 100;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData.size(), 1u);
  EXPECT_EQ(s.usageData[kEditor], 7.0);
}

TEST_F(AccountingTest, SameApplicationTwiceRestartsTimingAndGrowsOneSegment) {
  TrackerState& s = makeRunning(kEditor);
  const double start = clock.wall;
  clock.wall += 20;
  onAppActivated(s, std::string(kEditor));
  EXPECT_EQ(s.lastSwitch, clock.wall);
  clock.wall += 15;
  onAppActivated(s, std::string(kEditor));
  EXPECT_EQ(s.usageData[kEditor], 35.0);
  ASSERT_EQ(s.segmentSpans.size(), 1u);
  EXPECT_EQ(s.segmentSpans[0][1].asDouble(), start);
  EXPECT_EQ(s.segmentSpans[0][2].asDouble(), start + 35.0);
}

TEST_F(AccountingTest, UsageKeyRules) {
  TrackerState& s = makeState();
  EXPECT_EQ(usageKey(s, std::nullopt), std::nullopt);
  EXPECT_EQ(usageKey(s, std::string("com.apple.loginwindow")), std::nullopt);
  EXPECT_EQ(usageKey(s, std::string(kEditor)), kEditor);
  EXPECT_EQ(scripts.totalRuns(), 0);
  // A browser whose lookup gives nothing keeps its bare identifier.
  EXPECT_EQ(usageKey(s, std::string(kSafari)), kSafari);
  EXPECT_EQ(scripts.totalRuns(), 1);
  scripts.outcomes[s.kBrowserTabScripts.at(kSafari)] =
      FakeScriptRunner::url("https://www.example.org/a");
  EXPECT_EQ(usageKey(s, std::string(kSafari)), std::string(kSafari) + "#example.org");
}

}  // namespace
}  // namespace quillmoss::tracker::testing
