// The Linux bundle found from the executable, its helpers first on PATH, and the home folder.
#include "platform/linux/linux_bundle.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/user_folders.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;

TEST(LinuxBundleTest, TheRunningBundleIsTwoLevelsAboveTheExecutable) {
  auto bundle = host::LinuxBundle::ofRunningExecutable();
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->contents(), fs::read_symlink("/proc/self/exe").parent_path().parent_path());

  ::setenv("PATH", "/usr/bin:/bin", 1);
  ASSERT_TRUE(host::putBundleHelpersFirstOnPath());
  EXPECT_EQ(std::string(::getenv("PATH")), bundle->helpersFolder().string() + ":/usr/bin:/bin");
}

TEST(LinuxBundleTest, AFolderIsNoExecutable) {
  TempDir temp;
  fs::create_directories(temp.path() / "MacOS" / "QuillmossTracker");
  EXPECT_EQ(host::LinuxBundle(temp.path()).auxiliaryExecutable("QuillmossTracker"), std::nullopt);
}

TEST(UserFoldersTest, ARelativeHomeIsNotTrusted) {
  ::setenv("HOME", "relative", 1);
  auto home = host::userHomeFolder();  // the password database's entry instead
  ASSERT_TRUE(home);
  EXPECT_TRUE(home->is_absolute());
}

}  // namespace
}  // namespace quillmoss::testing
