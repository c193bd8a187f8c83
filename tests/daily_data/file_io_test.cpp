// Durable atomic writes, moving damaged files aside, and the tracker lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "daily_data/daily_data.h"
#include "support/temp_dir.h"

namespace quillmoss::daily {
namespace {

using quillmoss::testing::readBytes;
using quillmoss::testing::TempDir;
using quillmoss::testing::writeBytes;
using Names = std::vector<std::string>;

Names entriesOf(const std::filesystem::path& folder) {
  Names names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicWrite, CreatesFoldersReplacesWholeAndLeavesOnlyTheTarget) {
  TempDir folder;
  const auto dir = folder.path() / "a" / "usage";
  const auto file = dir / "segments_2026-12-06.json";
  ASSERT_TRUE(writeFileAtomically(file, R"({"a":1.5})"));
  EXPECT_EQ(readBytes(file), R"({"a":1.5})");
  // A stale temporary file from a crash, longer than what comes next, is replaced.
  writeBytes(dir / ".segments_2026-12-06.json.tmp", std::string(50000, 'g'));
  ASSERT_TRUE(writeFileAtomically(file, "[]"));
  EXPECT_EQ(readBytes(file), "[]");
  EXPECT_EQ(entriesOf(dir), Names{"segments_2026-12-06.json"});
  std::string big(8u << 20, 'z');
  for (std::size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(writeFileAtomically(file, big));
  EXPECT_EQ(readBytes(file), big);
  ASSERT_TRUE(writeFileAtomically(file, ""));
  EXPECT_EQ(readBytes(file), "");
}

TEST(AtomicWrite, BlockedPathsFailAndKeepWhatWasThere) {
  TempDir folder;
  const auto file = folder.path() / "usage_2026-12-06.json";
  std::filesystem::create_directory(file);  // a directory at the target
  writeBytes(file / "inside", "keep");
  EXPECT_FALSE(writeFileAtomically(file, "{}"));
  EXPECT_EQ(readBytes(file / "inside"), "keep");
  EXPECT_EQ(entriesOf(folder.path()), Names{"usage_2026-12-06.json"});

  std::filesystem::remove_all(file);  // a directory at the temporary name
  writeBytes(file, R"({"old":1.0})");
  std::filesystem::create_directory(folder.path() / ".usage_2026-12-06.json.tmp");
  EXPECT_FALSE(writeFileAtomically(file, "{}"));
  EXPECT_EQ(readBytes(file), R"({"old":1.0})");

  // A folder under a regular file.
  EXPECT_FALSE(writeFileAtomically(file / "usage" / "usage_x.json", "{}"));
  EXPECT_EQ(readBytes(file), R"({"old":1.0})");
}

TEST(AtomicWrite, LinksPlantedAtTheTemporaryOrLockNameAreNeverFollowed) {
  TempDir folder;
  const auto file = folder.path() / "usage_2026-12-06.json";
  const auto victim = folder.path() / "victim";
  writeBytes(victim, "precious");
  std::filesystem::create_symlink(victim, folder.path() / ".usage_2026-12-06.json.tmp");
  ASSERT_TRUE(writeFileAtomically(file, "{}"));
  EXPECT_EQ(readBytes(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(file));
  EXPECT_EQ(readBytes(file), "{}");

  const auto elsewhere = folder.path() / "created-through-a-link";
  std::filesystem::create_symlink(elsewhere, folder.path() / ".tracker.lock");
  EXPECT_FALSE(DayLock::acquire(folder.path()));
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

TEST(MoveAside, RenamesToFreeDamagedNamesAndAbsentFilesCountAsMoved) {
  TempDir folder;
  const auto file = folder.path() / "segments_2026-12-06.json";
  for (const char* content : {"first", "second", "third"}) {
    writeBytes(file, content);
    ASSERT_TRUE(moveAside(file, 42));
  }
  const std::string base = "segments_2026-12-06.json.damaged-42";
  EXPECT_EQ(entriesOf(folder.path()), (Names{base, base + "-1", base + "-2"}));
  EXPECT_EQ(readBytes(folder.path() / base), "first");
  EXPECT_EQ(readBytes(folder.path() / (base + "-2")), "third");
  // A directory in the file's place is moved too.
  std::filesystem::create_directory(file);
  ASSERT_TRUE(moveAside(file, 7));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "segments_2026-12-06.json.damaged-7"));
  EXPECT_TRUE(writeFileAtomically(file, "[]"));
  // An absent file, or a path under a regular file, counts as moved.
  EXPECT_TRUE(moveAside(folder.path() / "usage_2026-12-06.json", 1));
  EXPECT_TRUE(moveAside(file / "usage_2026-12-06.json", 1));
  EXPECT_EQ(readBytes(file), "[]");
}

TEST(DayLockTest, ExcludesOthersUntilDestroyedAndSurvivesMoves) {
  TempDir folder;
  const auto lockFile = folder.path() / ".tracker.lock";
  auto tryLock = [&] {
    int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    bool got = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return got;
  };
  {
    std::optional<DayLock> lock(DayLock::acquire(folder.path()).value());
    DayLock moved(std::move(*lock));
    lock.reset();  // the moved-from object must not release the lock
    EXPECT_FALSE(tryLock());
    auto other = DayLock::acquire(folder.path() / "x" / "elsewhere");
    ASSERT_TRUE(other);
    moved = std::move(*other);  // releases the first lock, takes over the other
    EXPECT_TRUE(tryLock());
  }
  EXPECT_TRUE(tryLock());
}

// Waits, bounded, until the kernel lists the process as waiting for an flock.
bool waitUntilBlockedOnFlock(pid_t pid) {
  const std::string pidText = " " + std::to_string(pid) + " ";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
      if (line.find("->") != std::string::npos && line.find("FLOCK") != std::string::npos &&
          line.find(pidText) != std::string::npos) {
        return true;
      }
    }
    std::this_thread::yield();
  }
  return false;
}

TEST(DayLockTest, SecondProcessWaitsUntilTheFirstLetsGo) {
  TempDir folder;
  int toChild[2];
  int fromChild[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(fromChild), 0);
  // The child is forked before the lock exists: a forked copy of the holder's descriptor
  // would keep the lock alive after the holder lets go.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char go = 0;
    if (::read(toChild[0], &go, 1) != 1) ::_exit(2);
    char done = DayLock::acquire(folder.path()) ? 'y' : 'n';
    (void)!::write(fromChild[1], &done, 1);
    ::_exit(0);
  }
  ::close(toChild[0]);
  ::close(fromChild[1]);

  std::optional<DayLock> lock(DayLock::acquire(folder.path()).value());
  ASSERT_EQ(::write(toChild[1], "g", 1), 1);
  ::close(toChild[1]);
  EXPECT_TRUE(waitUntilBlockedOnFlock(child));
  pollfd ready{fromChild[0], POLLIN, 0};
  EXPECT_EQ(::poll(&ready, 1, 0), 0) << "the second lock was granted while the first was held";

  lock.reset();
  char done = 0;
  EXPECT_EQ(::read(fromChild[0], &done, 1), 1);
  EXPECT_EQ(done, 'y');
  ::close(fromChild[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace quillmoss::daily
