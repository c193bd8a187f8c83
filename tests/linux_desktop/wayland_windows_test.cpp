// A Wayland session's running applications: dialogs folded into their parents' applications,
// Xwayland windows named from the X display.
#include "linux_desktop/wayland_windows.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

TEST(WaylandApplications, DialogsJoinTheirParentsAndXwaylandWindowsTheirXFacts) {
  quillmoss::testing::TempDir temp;
  for (auto [id, keys] : {std::pair{"org.gnome.gedit", "Exec=gedit %U"}, {"foot", "Exec=foot"}}) {
    quillmoss::testing::writeBytes(temp.path() / "applications" / (std::string(id) + ".desktop"),
                                   std::string("[Desktop Entry]\nName=N\n") + keys + "\n");
  }
  const DesktopEntryIndex index = DesktopEntryIndex::scan({temp.path()});
  // wlroots names Xwayland windows by their class; the X display knows them better.
  const std::vector<ClientWindow> x = {
      {0x200, "sun-awt-X11-XFramePeer", "tim-prune-GpsPrune", "GpsPrune", "gpsprune"},
      {0x300, "!listedtoplevel", "Toplevel", "untitled", "timer.py"},
      {0x301, "!listedtoplevel", "Toplevel", "IDLE Shell 3.11.2", "idle-python3.11"},
  };
  int asked = 0;
  const XwaylandWindows xwayland = [&] {
    ++asked;
    return x;
  };
  const std::vector<ShellWindow> windows = {
      {"gedit", "", std::nullopt, "Doc", std::nullopt},
      // A portal's file chooser is the dialog of the window it was opened for.
      {"xdg-desktop-portal-gtk", "", std::nullopt, "Open", 0},
      {"tim-prune-GpsPrune", "", std::nullopt, "GpsPrune", std::nullopt},
      {"Toplevel", "", std::nullopt, "IDLE Shell 3.11.2", std::nullopt},
      {"foot", "", std::nullopt, "~", 5},
      {"foot", "", std::nullopt, "~", 4},  // a loop the compositor should never report
      {"Toplevel", "", std::nullopt, "untitled", 2},
  };
  const std::vector<std::tuple<std::string, std::string, std::vector<std::uint32_t>>> expected = {
      {"org.gnome.gedit", "Doc", {}},
      {"gpsprune", "GpsPrune", {0x200}},
      {"idle-python3.11", "IDLE Shell 3.11.2", {0x301}},
      {"foot", "~", {}},
  };
  const std::vector<RunningWindow> apps = applicationsOf(windows, index, xwayland);
  ASSERT_EQ(apps.size(), expected.size());
  for (std::size_t i = 0; i < apps.size(); ++i) {
    EXPECT_EQ(apps[i].identity, std::get<0>(expected[i]));
    EXPECT_EQ(apps[i].title, std::get<1>(expected[i]));
    EXPECT_EQ(apps[i].windows, std::get<2>(expected[i])) << apps[i].identity;
  }
  EXPECT_EQ(asked, 1);
  // Windows that all name entries leave the X display alone.
  applicationsOf({windows[0], windows[4]}, index, xwayland);
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace quillmoss::desktop
