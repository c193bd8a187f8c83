// Durable atomic writes, moving damaged files aside, and the tracker lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

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

}  // namespace
}  // namespace quillmoss::daily
