// Day names, the data folder, durable atomic writes, moving damaged files aside, the lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <optional>

#include "daily_data/daily_data.h"
#include "posix/home_folder.h"
#include "posix/unique_fd.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

namespace quillmoss::daily {
namespace {

using quillmoss::testing::readBytes;
using quillmoss::testing::ScopedEnv;
using quillmoss::testing::TempDir;
using quillmoss::testing::writeBytes;
using Names = std::vector<std::string>;

TEST(DayString, ExactlyTheTenCharacterPattern) {
  EXPECT_TRUE(isDayString("2026-12-06"));
  EXPECT_TRUE(isDayString("0000-00-00"));
  for (const char* bad : {"", "2026-12-6", "2026-12-066", "2026/12/06", "20261206xx", "2026-1a-06",
                          "../../etc/", "2026-12-06\n", " 2026-12-06", "２０２６-12-06"}) {
    EXPECT_FALSE(isDayString(bad)) << bad;
  }
  EXPECT_FALSE(isDayString(std::string_view("2026-12-0\0", 10)));
}

TEST(DayString, LocalMidnightStartsTheDayAndAbsurdInstantsAreClamped) {
  {
    ScopedEnv tz("TZ", "XYZ-9");  // nine hours east of UTC
    EXPECT_EQ(localDayString(14.0 * 3600), "1970-01-01");
    EXPECT_EQ(localDayString(15.0 * 3600), "1970-01-02");
  }
  ScopedEnv tz("TZ", "UTC0");
  EXPECT_EQ(localDayString(86399.999), "1970-01-01");
  EXPECT_EQ(localDayString(86400.0), "1970-01-02");
  EXPECT_EQ(localDayString(-0.5), "1969-12-31");
  EXPECT_EQ(localDayString(1765000000.0), "2025-12-06");
  EXPECT_EQ(localDayString(1e300), "9999-12-31");
  EXPECT_EQ(localDayString(-1e300), "0001-01-01");
  for (double instant :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()}) {
    EXPECT_TRUE(isDayString(localDayString(instant))) << instant;
  }
}

TEST(DayString, FollowsTheZoneChangedWhileRunning) {
  const double instant = 1765000000.0;  // 2025-12-06 05:46 UTC
  const ScopedEnv tz("TZ", "AAA+12");
  EXPECT_EQ(localDayString(instant), "2025-12-05");
  ::setenv("TZ", "BBB-14", 1);  // no tzset(): nobody tells a running program
  EXPECT_EQ(localDayString(instant), "2025-12-06");

  // The same TZ, its file rewritten (a zone's rules updated, /etc/localtime replaced).
  const std::filesystem::path zones = "/usr/share/zoneinfo";
  if (!std::filesystem::exists(zones / "Etc/GMT+12") ||
      !std::filesystem::exists(zones / "Etc/GMT-14")) {
    GTEST_SKIP() << "no time-zone data";
  }
  TempDir temp;
  const std::filesystem::path zone = temp.path() / "localtime";
  std::filesystem::copy_file(zones / "Etc/GMT+12", zone);
  ::setenv("TZ", (":" + zone.string()).c_str(), 1);
  EXPECT_EQ(localDayString(instant), "2025-12-05");
  std::filesystem::copy_file(zones / "Etc/GMT-14", zone,
                             std::filesystem::copy_options::overwrite_existing);
  // A coarse file-system clock may not move within the test.
  std::filesystem::last_write_time(
      zone, std::filesystem::last_write_time(zone) + std::chrono::seconds(5));
  EXPECT_EQ(localDayString(instant), "2025-12-06");
}

#ifdef __linux__
TEST(DataFolder, XdgWhenAbsoluteElseHomeElseThePasswordDatabase) {
  ScopedEnv home("HOME", "/home/someone");
  for (const char* xdgValue : {static_cast<const char*>(nullptr), "", "relative/data"}) {
    ScopedEnv xdg("XDG_DATA_HOME", xdgValue);
    EXPECT_EQ(dataDirectory(),
              std::filesystem::path("/home/someone/.local/share/com.velbrook.quillmoss/usage"));
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(dataDirectory(), std::filesystem::path("/srv/data/com.velbrook.quillmoss/usage"));
  }
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  ScopedEnv noHome("HOME", nullptr);
  auto folder = userDataFolder();
  ASSERT_TRUE(folder);  // every test machine user has a passwd entry with a home
  EXPECT_TRUE(folder->is_absolute());
  EXPECT_EQ(folder->filename(), "share");
  EXPECT_EQ(dataDirectory(), *folder / "com.velbrook.quillmoss" / "usage");
}
#else
TEST(DataFolder, TheApplicationSupportFolder) {
  auto folder = userDataFolder();
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->filename(), "Application Support");
  EXPECT_EQ(dataDirectory(), *folder / "com.velbrook.quillmoss" / "usage");
}
#endif

TEST(DataFolder, APasswordEntryLargerThanTheFirstBufferIsReadWhole) {
  const auto home = posix::passwdHomeFolder();
  ASSERT_TRUE(home);
  EXPECT_EQ(posix::passwdHomeFolder(1), home);
}

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
  std::string big(8u << 20, 'z');
  for (std::size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>('a' + i % 26);
  for (const std::string& bytes : {std::string(R"({"a":1.5})"), big, std::string()}) {
    ASSERT_TRUE(writeFileAtomically(file, bytes));
    EXPECT_EQ(readBytes(file), bytes);
  }
  // A stale temporary file from a crash, longer than what comes next, is replaced.
  writeBytes(dir / ".segments_2026-12-06.json.tmp", std::string(50000, 'g'));
  ASSERT_TRUE(writeFileAtomically(file, "[]"));
  EXPECT_EQ(readBytes(file), "[]");
  EXPECT_EQ(entriesOf(dir), Names{"segments_2026-12-06.json"});
}

// Runs `child` in a process of its own (which may change who it is and what it mounts) and
// returns its exit status.
int inChild(const std::function<int()>& child) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(child());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr int kCannotSetUp = 254;

// A 16 KiB file system of our own on `folder`, in user and mount namespaces of our own (Linux).
bool mountTinyFileSystem([[maybe_unused]] const std::filesystem::path& folder) {
#ifndef __linux__
  return false;
#else
  const auto writeText = [](const char* path, const std::string& text) {
    posix::UniqueFd fd(::open(path, O_WRONLY | O_CLOEXEC));
    return fd && ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  };
  const std::string uid = std::to_string(::getuid()), gid = std::to_string(::getgid());
  return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && writeText("/proc/self/setgroups", "deny") &&
         writeText("/proc/self/uid_map", "0 " + uid + " 1") &&
         writeText("/proc/self/gid_map", "0 " + gid + " 1") &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k") == 0;
#endif
}

TEST(AtomicWrite, AFullDiskAndAFolderWeMayNotWriteToSayWhich) {
  TempDir folder;
  const auto file = folder.path() / "usage_2026-12-06.json";
  const auto codeOf = [&](const std::string& bytes) {
    const Status written = writeFileAtomically(file, bytes);
    return written ? 0 : written.error().code;
  };
  const int full = inChild([&] {
    return mountTinyFileSystem(folder.path()) ? codeOf(std::string(64 << 10, 'x')) : kCannotSetUp;
  });
  if (full == kCannotSetUp) {
    std::cout << "no user namespaces here: the full disk is not tried\n";
  } else {
    EXPECT_EQ(full, ENOSPC);
  }
  const int refused = inChild([&] {
    // Root may write anywhere: it becomes nobody, who may not write into root's folder.
    if (::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) return kCannotSetUp;
    } else if (::chmod(folder.path().c_str(), 0555) != 0) {
      return kCannotSetUp;
    }
    return codeOf("{}");
  });
  EXPECT_EQ(refused, EACCES);
  EXPECT_EQ(codeOf("{}"), 0);
  EXPECT_EQ(readBytes(file), "{}");
}

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Whatever the umask lets through, day files and their folders are the user's alone; those
// made before are tightened, the user's own folder above and anything behind a link are not.
TEST(PrivateModes, NewFoldersAndFilesArePrivateAndOldOnesAreTightened) {
  TempDir root;
  const mode_t umask = ::umask(022);
  const auto share = root.path() / "share", outside = root.path() / "outside";
  const auto dataDir = share / "com.velbrook.quillmoss" / "usage", old = dataDir / "usage_old.json";
  ASSERT_TRUE(writeFileAtomically(dataDir / "usage_new.json", "{}"));
  for (const auto& path : {share, dataDir.parent_path(), dataDir}) EXPECT_EQ(modeOf(path), 0700u);
  EXPECT_EQ(modeOf(dataDir / "usage_new.json"), 0600u);
  writeBytes(outside, "not ours to change");
  writeBytes(old, "{}");
  std::filesystem::create_symlink(outside, dataDir / "link");
  for (const auto& path : {share, dataDir.parent_path(), dataDir, outside, old}) {
    ::chmod(path.c_str(), 0755);
  }
  makeDataFolderPrivate(dataDir);
  ::umask(umask);
  for (const auto& path : {dataDir.parent_path(), dataDir, old}) EXPECT_EQ(modeOf(path) & 077, 0u);
  EXPECT_EQ(modeOf(outside), 0755u);
  EXPECT_EQ(modeOf(share), 0755u);
}

TEST(AtomicWrite, BlockedPathsFailAndKeepWhatWasThere) {
  TempDir folder;
  const auto file = folder.path() / "usage_2026-12-06.json";
  writeBytes(file / "inside", "keep");  // a directory at the target
  EXPECT_FALSE(writeFileAtomically(file, "{}"));
  EXPECT_EQ(readBytes(file / "inside"), "keep");
  EXPECT_EQ(entriesOf(folder.path()), Names{"usage_2026-12-06.json"});

  std::filesystem::remove_all(file);  // a directory at the temporary name
  writeBytes(file, R"({"old":1.0})");
  std::filesystem::create_directory(folder.path() / ".usage_2026-12-06.json.tmp");
  EXPECT_FALSE(writeFileAtomically(file, "{}"));
  EXPECT_EQ(readBytes(file), R"({"old":1.0})");

  EXPECT_FALSE(writeFileAtomically(file / "usage" / "usage_x.json", "{}"));  // under a file
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

// A second tracker is told at once that the lock is taken; the holder learns when the file it
// locked is no longer the one at the lock's name.
TEST(DayLockTest, TryingFailsWhileHeldAndAHolderNoticesItsFileGone) {
  TempDir folder;
  const auto dir = folder.path() / "usage";
  const DayLock held = DayLock::acquire(dir).value();
  EXPECT_TRUE(held.inPlace());
  const auto second = DayLock::tryAcquire(dir);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().code, EWOULDBLOCK);
  std::filesystem::remove_all(dir);
  EXPECT_FALSE(held.inPlace());
  const DayLock fresh = DayLock::tryAcquire(dir).value();  // on the folder made anew
  EXPECT_TRUE(fresh.inPlace());
  std::filesystem::remove(dir / ".tracker.lock");
  writeBytes(dir / ".tracker.lock", "");
  EXPECT_FALSE(fresh.inPlace());
}

TEST(DayLockTest, ExcludesOthersUntilDestroyedAndSurvivesMoves) {
  TempDir folder;
  const auto lockFile = folder.path() / ".tracker.lock";
  auto tryLock = [&] {
    posix::UniqueFd fd(::open(lockFile.c_str(), O_RDWR | O_CLOEXEC));
    return fd && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
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
