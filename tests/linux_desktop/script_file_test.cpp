// Scripts written for a desktop shell: private, whole, and gone with their owner.
#include "linux_desktop/script_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "linux_desktop/small_file.h"
#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(ScriptFile, PrivateToTheUserAndRemovedWithItsFolder) {
  testing::TempDir base;
  const std::string text(100000, 'x');
  fs::path root;
  {
    auto script = ScriptFile::write(base.path(), "kwin", "script.js", text);
    ASSERT_TRUE(script) << script.error().message;
    const fs::path& file = (*script)->path();
    root = file.parent_path().parent_path();
    EXPECT_EQ(file.parent_path().filename(), "kwin");
    EXPECT_EQ(root.parent_path(), base.path());
    EXPECT_EQ(readSmallFile(file, text.size() + 1), text);
    for (auto [path, mode] : {std::pair{root, 0700}, {file.parent_path(), 0700}, {file, 0600}}) {
      EXPECT_EQ(modeOf(path), static_cast<mode_t>(mode)) << path;
    }
  }
  EXPECT_FALSE(fs::exists(root));
}

}  // namespace
}  // namespace quillmoss::desktop
