// Damaged files kept, no unreadable writes, one daemon per folder, the change of day.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <limits>
#include <thread>

#include "callbacks.h"
#include "day_files.h"
#include "posix/unique_fd.h"
#include "startup.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using FaultsTest = TrackerTest;
using RolloverTest = TrackerTest;

// Bounded wait until the kernel lists a thread of ours as waiting for an flock. Only Linux
// lists waiters (/proc/locks); elsewhere the test sees only what the starting tracker loaded.
bool waitUntilWaitingForAnFlock() {
#ifdef __linux__
  const std::string pid = " " + std::to_string(::getpid()) + " ";
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
       std::chrono::steady_clock::now() < until; std::this_thread::yield()) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
      if (line.find("-> FLOCK") != std::string::npos && line.find(pid) != std::string::npos) {
        return true;
      }
    }
  }
  return false;
#else
  return true;
#endif
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
  for (int n = 1; n <= 1000; ++n) writeBytes(dataDir / (base + "-" + std::to_string(n)), "x");
  onFlushTimer(s);
  EXPECT_EQ(readBytes(file("segments_", kToday)), "{}");
  EXPECT_EQ(readBytes(file("usage_", kToday)), "{}");  // the other files are still written
  clock.wall += 30;  // the next tick, at another second, can move it and writes the file
  onFlushTimer(s);
  EXPECT_EQ(readBytes(file("segments_", kToday)), "[]");
}

TEST_F(FaultsTest, NonFiniteValueKeepsThePreviousFile) {
  TrackerState& s = makeRunning();
  s.usageData[kEditor] = 12.5;
  ASSERT_TRUE(save(s, s.usageData, kToday));
  const std::string previous = readBytes(file("usage_", kToday));
  s.usageData[kTerminal] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(save(s, s.usageData, kToday));
  EXPECT_EQ(readBytes(file("usage_", kToday)), previous);
}

TEST_F(FaultsTest, StartupWaitsForTheLockLoadsWhatTheHolderSavedAndHoldsIt) {
  std::optional<daily::DayLock> held(daily::DayLock::acquire(dataDir).value());
  TrackerState& s = makeState();
  std::atomic<bool> started = false;
  std::thread starting([&] {
    EXPECT_TRUE(startTracker(s));
    started = true;
  });
  EXPECT_TRUE(waitUntilWaitingForAnFlock());
  EXPECT_FALSE(started);
  writeBytes(file("usage_", kToday), R"({"org.example.editor":77.5})");  // the holder's last save
  held.reset();
  starting.join();
  EXPECT_EQ(s.usageData.at(kEditor), 77.5);
  // Held for the life of the tracker: nobody else gets it now.
  const posix::UniqueFd fd(::open((dataDir / ".tracker.lock").c_str(), O_RDWR | O_CLOEXEC));
  ASSERT_TRUE(fd);
  EXPECT_NE(::flock(fd.get(), LOCK_EX | LOCK_NB), 0);
  state.reset();
  EXPECT_EQ(::flock(fd.get(), LOCK_EX | LOCK_NB), 0);
}

// Whatever sits at the lock's name in place of a file is never written through.
TEST_F(FaultsTest, TrackerWithALinkPlantedAtItsLockDoesNotStart) {
  std::filesystem::create_directories(dataDir);
  std::filesystem::create_symlink(dataDir / "elsewhere", dataDir / ".tracker.lock");
  const Status started = startTracker(makeState());
  ASSERT_FALSE(started);
  EXPECT_NE(started.error().message.find(".tracker.lock"), std::string::npos);
}

// A folder made open by an older version is made private at start-up. Deleted under a running
// tracker, it is made again at the next flush with the lock on a new file, and the day written.
TEST_F(FaultsTest, FolderDeletedWhileRunningIsMadeAgainWithTheLock) {
  namespace fs = std::filesystem;
  writeBytes(file("usage_", "2026-12-01"), "{}");
  for (const auto& path : {dataDir, file("usage_", "2026-12-01")})
    fs::permissions(path, fs::perms(0755));
  TrackerState& s = makeRunning();
  for (const auto& path : {dataDir, file("usage_", "2026-12-01")}) {
    EXPECT_EQ(fs::status(path).permissions() & fs::perms(077), fs::perms::none);
  }
  fs::remove_all(dataDir);
  clock.wall += 30;
  onFlushTimer(s);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 30.0);
  EXPECT_EQ(daily::DayLock::tryAcquire(dataDir).error().code, EWOULDBLOCK);
}

// A second tracker that took the new lock first owns the days: this one writes no more.
TEST_F(FaultsTest, TrackerWhoseLockWasTakenOverGivesWayWithoutWriting) {
  TrackerState& s = makeRunning();
  std::filesystem::remove(dataDir / ".tracker.lock");
  const daily::DayLock second = daily::DayLock::acquire(dataDir).value();
  clock.wall += 30;
  onFlushTimer(s);
  onTerminationSignal(s, 15);
  EXPECT_TRUE(folderEntries().empty());
  EXPECT_EQ(loop.quitStatus, 1);
  EXPECT_EQ(exitNote(s), "another tracker took over " + dataDir.string());
}

// Nothing can be written yet (a file stands where a folder goes): the tracker starts anyway,
// keeps the day in memory and writes it, under the lock, once the folder can be made.
TEST_F(FaultsTest, FolderThatCannotBeMadeYetKeepsTheDayInMemoryUntilItCan) {
  writeBytes(dataDir.parent_path(), "in the way");
  TrackerState& s = makeRunning();
  clock.wall += 30;
  onFlushTimer(s);
  EXPECT_FALSE(s.dayLock);
  std::filesystem::remove(dataDir.parent_path());
  clock.wall += 30;
  onFlushTimer(s);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 60.0);
  EXPECT_EQ(daily::DayLock::tryAcquire(dataDir).error().code, EWOULDBLOCK);
  EXPECT_EQ(exitNote(s), std::nullopt);
}

// The end comes while nothing can be written: the time is lost, and the way out says so.
TEST_F(FaultsTest, FinalSavesThatFailAreToldOnTheWayOut) {
  writeBytes(dataDir.parent_path(), "in the way");
  TrackerState& s = makeRunning();
  clock.wall += 30;
  onTerminationSignal(s, 15);
  EXPECT_EQ(loop.quitStatus, 0);
  ASSERT_TRUE(exitNote(s));
  EXPECT_TRUE(exitNote(s)->starts_with("the day's last time was not saved: ")) << *exitNote(s);
}

TEST_F(FaultsTest, OldDayThatFailsToSaveStaysInMemoryUntilWrittenAtATickOrTheEnd) {
  clock.wall = kBeforeMidnight;
  TrackerState& s = makeRunning();
  clock.wall += 10;
  onFlushTimer(s);
  // The old day's activity and segments cannot be replaced: a directory holds each place.
  for (const char* kind : {"activity_", "segments_"}) {
    std::filesystem::remove(file(kind, kToday));
    std::filesystem::create_directories(file(kind, kToday) / "inside");
  }
  for (int tick = 0; tick < 2; ++tick) {  // 00:00:25, 00:00:55: kept while blocked
    clock.wall += 30;
    onFlushTimer(s);
    EXPECT_EQ(s.currentDay, "2026-12-07");
    ASSERT_EQ(s.pendingDays.size(), 1u);
  }
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 40.0);
  const daily::ActivityList activity{{kBeforeMidnight + 10, kBeforeMidnight + 10}};
  clock.wall -= 90;  // back to the old day, which continues from memory
  onAppActivated(s, std::string(kEditor));
  EXPECT_EQ(s.currentDay, kToday);
  EXPECT_TRUE(s.pendingDays.empty());
  EXPECT_EQ(s.activityIntervals, activity);

  clock.wall += 120;  // the next day again, the old one blocked once more
  onFlushTimer(s);
  std::filesystem::remove_all(file("activity_", kToday));
  clock.wall += 30;
  onFlushTimer(s);
  EXPECT_EQ(daily::loadActivity(file("activity_", kToday)).value, activity);
  ASSERT_EQ(s.pendingDays.size(), 1u);
  std::filesystem::remove_all(file("segments_", kToday));
  onTerminationSignal(s, 15);
  EXPECT_TRUE(s.pendingDays.empty());
  EXPECT_EQ(daily::loadSegments(file("segments_", kToday)).value,
            (daily::SegmentList{{std::string(kEditor), kBeforeMidnight, kBeforeMidnight + 100}}));
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 160.0);
  EXPECT_EQ(daily::loadUsage(file("usage_", "2026-12-07")).value.at(kEditor), 60.0);
}

TEST_F(RolloverTest, ClockSetBackOneDaySavesUnderLaterDayAndContinuesEarlierDay) {
  writeBytes(file("usage_", "2026-12-05"), R"({"org.example.editor":1000.5})");
  TrackerState& s = makeRunning();
  clock.wall += 30;
  onFlushTimer(s);
  clock.wall -= 86400;
  onAppActivated(s, std::string(kTerminal));
  EXPECT_EQ(s.currentDay, "2026-12-05");
  // The flush at the change of day saw a clock set back by a day: nothing is credited for it.
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 30.0);
  EXPECT_EQ(s.usageData.at(kEditor), 1000.5);
}

// The signal's number makes no difference past the loop's handler.
TEST_F(RolloverTest, TerminationAfterMidnightWritesTheOldDayOnce) {
  clock.wall = kBeforeMidnight;
  TrackerState& s = makeRunning();
  clock.wall += 20;  // 00:00:05, before the next tick
  onTerminationSignal(s, 15);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 20.0);
  EXPECT_EQ(daily::loadSegments(file("segments_", kToday)).value.size(), 1u);
  EXPECT_EQ(readBytes(file("activity_", kToday)), "[]");
  EXPECT_FALSE(std::filesystem::exists(file("usage_", "2026-12-07")));
  // A second request (a signal and the end of the session together) changes nothing.
  clock.wall += 3;
  onTerminationSignal(s, 2);
  EXPECT_EQ(daily::loadUsage(file("usage_", kToday)).value.at(kEditor), 20.0);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
