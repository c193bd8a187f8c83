// The Linux bundle: found from the executable, its helper folder first on PATH (finding the
// daemon and the template is the end-to-end setup's).
#include "platform/linux/linux_bundle.h"

#include <gtest/gtest.h>
#include <stdlib.h>

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

}  // namespace
}  // namespace quillmoss::testing
