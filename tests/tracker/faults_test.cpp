// The mended faults: damaged files kept, no negative or sleeping credit, no unreadable
// writes, durable writes, one daemon per data folder, no day lost at the change of day.
#include <fcntl.h>
#include <sys/file.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <limits>
#include <thread>

#include "accounting.h"
#include "callbacks.h"
#include "day_files.h"
#include "startup.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using FaultsTest = TrackerTest;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_F(FaultsTest, DamagedDayFileIsKeptAndMovedAsideBeforeFirstSave) {
  // Which texts are damaged is the day files' table.
  const std::string text = R"(["not", "a usage map"])";
  writeBytes(file("usage_", kToday), text);
  writeBytes(file("activity_", kToday), "[[1,2]]");
  workspace.frontmost = kEditor;
  TrackerState& s = makeState();
  ASSERT_TRUE(startTracker(s));
  // The day starts empty in memory; the usable activity file is continued.
  EXPECT_TRUE(s.usageData.empty());
  EXPECT_EQ(s.activityIntervals.size(), 1u);
  EXPECT_EQ(readBytes(file("usage_", kToday)), text);  // nothing written before the first tick

  clock.wall += 30;
  onFlushTimer(s);
  const std::string aside =
      "usage_2026-12-06.json.damaged-" + std::to_string(std::int64_t(kMorning + 30));
  EXPECT_EQ(folderEntries(),
            (std::vector<std::string>{"activity_2026-12-06.json", "segments_2026-12-06.json",
                                      "usage_2026-12-06.json", aside}));
  EXPECT_EQ(readBytes(dataDir / aside), text);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value, (daily::UsageMap{{kEditor, 30.0}}));
  clock.wall += 30;
  onFlushTimer(s);  // only the first save moves anything aside
  EXPECT_EQ(folderEntries().size(), 4u);
}

TEST_F(FaultsTest, FileThatCannotBeMovedAsideIsNotWritten) {
  writeBytes(file("segments_", kToday), "{}");
  TrackerState& s = makeState();
  ASSERT_TRUE(startTracker(s));
  clock.wall += 30;
  // Every name the file could be moved to is taken.
  const std::string base = "segments_" + std::string(kToday) + ".json.damaged-" +
                           std::to_string(std::int64_t(clock.wall));
  writeBytes(dataDir / base, "x");
  for (int suffix = 1; suffix <= 1000; ++suffix) {
    writeBytes(dataDir / (base + "-" + std::to_string(suffix)), "x");
  }
  onFlushTimer(s);
  EXPECT_EQ(readBytes(file("segments_", kToday)), "{}");
  EXPECT_EQ(readBytes(file("usage_", kToday)), "{}");  // the other files are still written
  clock.wall += 30;  // the next tick, at another second, can move it and writes the file
  onFlushTimer(s);
  EXPECT_EQ(readBytes(file("segments_", kToday)), "[]");
}

TEST_F(FaultsTest, NonFiniteValueKeepsThePreviousFile) {
  TrackerState& s = makeRunning(kEditor);
  s.usageData[kEditor] = 12.5;
  ASSERT_TRUE(save(s, s.usageData, kToday));
  const std::string previous = readBytes(file("usage_", kToday));
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), kInf}) {
    s.usageData[kTerminal] = bad;
    EXPECT_FALSE(save(s, s.usageData, kToday));
  }
  EXPECT_EQ(readBytes(file("usage_", kToday)), previous);
}

// Waits, bounded, until the kernel lists a thread of this process as waiting for an flock.
bool waitUntilBlockedOnFlock() {
  const std::string pid = " " + std::to_string(::getpid()) + " ";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
      if (line.find("-> FLOCK") != std::string::npos && line.find(pid) != std::string::npos) {
        return true;
      }
    }
    std::this_thread::yield();
  }
  return false;
}

TEST_F(FaultsTest, StartupWaitsForTheLockLoadsWhatTheHolderSavedAndHoldsIt) {
  std::optional<daily::DayLock> held(daily::DayLock::acquire(dataDir).value());
  TrackerState& s = makeState();
  std::atomic<bool> started = false;
  std::thread starting([&] {
    EXPECT_TRUE(startTracker(s));
    started = true;
  });
  EXPECT_TRUE(waitUntilBlockedOnFlock());
  EXPECT_FALSE(started);
  writeBytes(file("usage_", kToday), R"({"org.example.editor":77.5})");  // the holder's last save
  held.reset();
  starting.join();
  EXPECT_EQ(s.usageData.at(kEditor), 77.5);
  // Held for the life of the tracker: nobody else gets it now.
  const int fd = ::open((dataDir / ".tracker.lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
  state.reset();
  EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);
}

// Without the lock a second daemon could overwrite this one's totals.
TEST_F(FaultsTest, TrackerThatCannotLockItsFolderDoesNotStart) {
  std::filesystem::create_directories(dataDir);
  std::filesystem::create_symlink(dataDir / "elsewhere", dataDir / ".tracker.lock");
  const Status started = startTracker(makeState());
  ASSERT_FALSE(started);
  EXPECT_NE(started.error().message.find(".tracker.lock"), std::string::npos);
}

TEST_F(FaultsTest, OldDayThatFailsToSaveIsRetriedUntilWritten) {
  clock.wall = kBeforeMidnight;
  workspace.frontmost = kEditor;
  TrackerState& s = makeState();
  ASSERT_TRUE(startTracker(s));
  clock.wall += 10;
  onFlushTimer(s);
  // The old day's activity file cannot be replaced: a directory holds its place.
  const auto blocked = file("activity_", kToday);
  std::filesystem::remove(blocked);
  std::filesystem::create_directories(blocked / "inside");
  for (int tick = 0; tick < 2; ++tick) {  // 00:00:25, 00:00:55: kept while blocked
    clock.wall += 30;
    onFlushTimer(s);
    EXPECT_EQ(s.currentDay, "2026-12-07");
    ASSERT_EQ(s.pendingDays.size(), 1u);
  }
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 40.0);
  std::filesystem::remove_all(blocked);
  clock.wall += 30;
  onFlushTimer(s);
  EXPECT_TRUE(s.pendingDays.empty());
  EXPECT_EQ(daily::loadActivity(blocked).value,
            (daily::ActivityList{{kBeforeMidnight + 10, kBeforeMidnight + 10}}));
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 40.0);
  EXPECT_EQ(daily::loadUsage(file("usage_", "2026-12-07")).value.at(kEditor), 60.0);
}

TEST_F(FaultsTest, PendingDayReturnedToContinuesFromMemoryOrIsRetriedAtTermination) {
  clock.wall = kBeforeMidnight;
  TrackerState& s = makeRunning(kEditor);
  std::filesystem::create_directories(file("usage_", kToday) / "inside");
  clock.wall += 30;
  onFlushTimer(s);
  ASSERT_EQ(s.pendingDays.size(), 1u);
  clock.wall -= 60;  // back to 23:59:15 of the old day
  onAppActivated(s, std::string(kEditor));
  EXPECT_EQ(s.currentDay, kToday);
  EXPECT_TRUE(s.pendingDays.empty());
  EXPECT_EQ(s.usageData.at(kEditor), 30.0);

  clock.wall += 60;  // the next day again, its files blocked once more
  onFlushTimer(s);
  ASSERT_EQ(s.pendingDays.size(), 1u);
  std::filesystem::remove_all(file("usage_", kToday));
  onTerminationSignal(s, 15);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 90.0);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
