// The window list KWin's script reports, read whatever the text holds.
#include "platform/linux/wayland/shell_windows.h"

#include <gtest/gtest.h>

namespace quillmoss::host {
namespace {

TEST(KWinWindows, ReadsEachLineAndBoundsWhatItKeeps) {
  const std::string longTitle(5000, 'x');
  struct Case {
    std::string report;
    std::size_t count;
    desktop::ShellWindow first;
  };
  const Case cases[] = {
      {"", 0, {}},
      {"org.kde.konsole\tkonsole\t42\tShell\t\nfirefox\tfirefox\t7\tNews",
       2,
       {"org.kde.konsole", "konsole", 42, "Shell"}},
      // A dialog names the line of the window it belongs to.
      {"\tgedit\t5\tSave As\t0\norg.gnome.gedit\tgedit\t5\tDoc\t",
       2,
       {"", "gedit", 5, "Save As", 0}},
      {"a\tb\t1\tt\t-1", 1, {"a", "b", 1, "t"}},
      {"\tfoot\tnot a pid\t", 1, {"", "foot", std::nullopt, ""}},
      {"only-an-id", 1, {"only-an-id", "", std::nullopt, ""}},
      {"a\tb\t-3\t" + longTitle, 1, {"a", "b", std::nullopt, longTitle.substr(0, 1024)}},
  };
  for (const Case& c : cases) {
    auto windows = parseKWinWindows(c.report);
    ASSERT_EQ(windows.size(), c.count) << c.report.substr(0, 40);
    if (c.count == 0) continue;
    EXPECT_EQ(windows[0].appId, c.first.appId);
    EXPECT_EQ(windows[0].wmClass, c.first.wmClass);
    EXPECT_EQ(windows[0].pid, c.first.pid);
    EXPECT_EQ(windows[0].title, c.first.title);
    EXPECT_EQ(windows[0].parent, c.first.parent);
  }
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "a\tb\t1\tt\n";
  EXPECT_EQ(parseKWinWindows(many).size(), kMaxShellWindows);
}

}  // namespace
}  // namespace quillmoss::host
