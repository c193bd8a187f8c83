// The Linux bundle: files found relative to the executable, the helper folder on PATH, and
// the home folder.
#include "platform/linux/linux_bundle.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "platform/user_folders.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;

TEST(LinuxBundleTest, FindsTheDaemonAndTheTemplateInsideContents) {
  quillmoss::testing::TempDir temp;
  const fs::path contents = temp.path() / "quillmoss.app" / "Contents";
  host::LinuxBundle bundle(contents);
  EXPECT_EQ(bundle.auxiliaryExecutable("QuillmossTracker"), std::nullopt);
  EXPECT_EQ(bundle.resource("com.velbrook.quillmoss.tracker", "plist"), std::nullopt);

  fs::create_directories(contents / "MacOS");
  fs::create_directories(contents / "Resources");
  std::ofstream(contents / "MacOS" / "QuillmossTracker") << "x";
  std::ofstream(contents / "Resources" / "com.velbrook.quillmoss.tracker.plist") << "x";
  EXPECT_EQ(bundle.auxiliaryExecutable("QuillmossTracker"),
            contents / "MacOS" / "QuillmossTracker");
  EXPECT_EQ(bundle.resource("com.velbrook.quillmoss.tracker", "plist"),
            contents / "Resources" / "com.velbrook.quillmoss.tracker.plist");
  // A folder of that name is no executable.
  fs::create_directories(contents / "MacOS" / "Other");
  EXPECT_EQ(bundle.auxiliaryExecutable("Other"), std::nullopt);
}

TEST(LinuxBundleTest, TheRunningBundleIsTwoLevelsAboveTheExecutable) {
  auto bundle = host::LinuxBundle::ofRunningExecutable();
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->contents(), fs::read_symlink("/proc/self/exe").parent_path().parent_path());

  ::setenv("PATH", "/usr/bin:/bin", 1);
  ASSERT_TRUE(host::putBundleHelpersFirstOnPath());
  EXPECT_EQ(std::string(::getenv("PATH")), bundle->helpersFolder().string() + ":/usr/bin:/bin");
}

TEST(UserFoldersTest, HomeComesFromTheEnvironmentWhenAbsolute) {
  ::setenv("HOME", "/some/home", 1);
  EXPECT_EQ(host::userHomeFolder(), fs::path("/some/home"));
  ::setenv("HOME", "relative", 1);
  auto fallback = host::userHomeFolder();  // the password database's entry
  ASSERT_TRUE(fallback);
  EXPECT_TRUE(fallback->is_absolute());
}

}  // namespace
}  // namespace quillmoss::testing
