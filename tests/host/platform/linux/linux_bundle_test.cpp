// The Linux bundle and the home folder (the running bundle and PATH are the end-to-end tests').
#include "platform/linux/linux_bundle.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/user_folders.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;

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
