// The application identity rules, in order, against desktop entries and a stand-in /proc.
#include "linux_desktop/identity.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <tuple>

#include "linux_desktop/shell_scripts.h"
#include "linux_desktop/x11_window_facts.h"
#include "linux_desktop/x11_windows.h"
#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;
using quillmoss::testing::writeBytes;

// Entries as Debian installs them; a stand-in /proc: 100 a Flatpak app, 200 a replaced python3.11,
// 300-302 a hostile .flatpak-info (FIFO, directory, huge file), 400-402 programs.
class IdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto [id, text] : {
             std::pair{"org.gnome.TextEditor",
                       "Name=Text Editor\nStartupWMClass=gnome-text-editor"},
             {"firefox", "Name=Firefox"},
             {"org.example.Viewer", "Name=Viewer"},
             // KCalc names no class; a browser and one of its web apps do.
             {"org.kde.kcalc", "Name=KCalc\nExec=kcalc"},
             {"kde/org.kde.kate", "Name=Kate\nExec=env QT_X=1 /usr/bin/kate -b %U"},
             {"browser", "Name=Browser\nExec=browser %U\nStartupWMClass=Browser"},
             {"webapp", "Name=Web app\nExec=browser --app-id=webapp\nStartupWMClass=crx_webapp"},
             {"tool", "Name=Tool\nExec=python3 /opt/tool/tool.py"},
             {"my#app", "Name=Mine\nExec=mine"},
             // As Debian installs them; idle runs the default Python's IDLE.
             {"idle", "Name=IDLE\nExec=/usr/bin/idle"},
             {"idle-python3.11", "Name=IDLE (using Python-3.11)\nExec=/usr/bin/idle-python3.11"},
             {"gpsprune", "Name=GpsPrune\nExec=gpsprune %F"},
             {"pyshell", "Name=Python\nExec=python3\nTerminal=true"},
             {"myapp", "Name=My app\nExec=myapp"},
             {"org.gnome.gedit", "Name=gedit\nExec=gedit %U"},
             {"org.xfce.mousepad-settings",
              "Name=Text Editor Settings\nExec=mousepad --preferences\nCategories=GTK;Settings;"},
             {"org.xfce.mousepad", "Name=Mousepad\nExec=mousepad %U"},
         }) {
      writeBytes(temp_.path() / "data/applications" / (std::string(id) + ".desktop"),
                 std::string("[Desktop Entry]\nType=Application\n") + text + "\n");
    }
    index_ = DesktopEntryIndex::scan({temp_.path() / "data"});
    writeBytes(proc() / "100/root/.flatpak-info",
               "[Application]\nname=org.example.Sandboxed\nruntime=x\n");
    fs::create_directories(proc() / "300/root");
    ASSERT_EQ(::mkfifo((proc() / "300/root/.flatpak-info").c_str(), 0600), 0);
    fs::create_directories(proc() / "301/root/.flatpak-info");
    writeBytes(proc() / "302/root/.flatpak-info",
               std::string(100 * 1024, '#') + "\n[Application]\nname=org.example.Late\n");
    for (auto [pid, exe] : {std::pair{200, "/usr/bin/python3.11 (deleted)"},
                            {400, "/usr/bin/kate"},
                            {401, "/usr/bin/python3.11"},
                            {402, "/usr/bin/kcalc"}}) {
      fs::create_directories(proc() / std::to_string(pid));
      fs::create_symlink(exe, proc() / std::to_string(pid) / "exe");
    }
    // Interpreters: IDLE; GpsPrune's java under its launcher script; a Tk script of the user's
    // own; a python started by the shell script an entry runs.
    for (const auto& [pid, exe, argv, ppid] :
         {std::tuple{403, "/usr/bin/python3.11", "/usr/bin/python3.11 /usr/bin/idle-python3.11", 1},
          {404, "/usr/lib/jvm/java-17/bin/java", "java -Dp=1 -jar /usr/share/gpsprune/gpsprune.jar",
           405},
          {405, "/usr/bin/dash", "/bin/sh /usr/bin/gpsprune", 1},
          {406, "/usr/bin/python3", "python3 /home/u/timer.py", 1},
          {407, "/usr/bin/python3.11", "python3 /opt/my/main.py", 408},
          {408, "/usr/bin/bash", "/bin/sh /usr/bin/myapp", 1}}) {
      const fs::path dir = proc() / std::to_string(pid);
      fs::create_directories(dir);
      fs::create_symlink(exe, dir / "exe");
      std::string cmdline(argv);
      std::replace(cmdline.begin(), cmdline.end(), ' ', '\0');
      writeBytes(dir / "cmdline", cmdline + '\0');
      writeBytes(dir / "stat", std::to_string(pid) + " (x) S " + std::to_string(ppid) + " 0\n");
    }
  }
  fs::path proc() const { return temp_.path() / "proc"; }

  quillmoss::testing::TempDir temp_;
  DesktopEntryIndex index_;
};

TEST_F(IdentityTest, RulesApplyInOrder) {
  const std::pair<WindowFacts, std::optional<std::string>> cases[] = {
      // StartupWMClass beats an entry whose ID is the class, and the instance is tried first.
      {{"gnome-text-editor", "firefox", "", 100}, "org.gnome.TextEditor"},
      {{"x", "gnome-text-editor", "", std::nullopt}, "org.gnome.TextEditor"},
      // So a web app is not the browser.
      {{"crx_webapp", "Browser", "", std::nullopt}, "webapp"},
      {{"browser", "Browser", "", std::nullopt}, "browser"},
      // An entry ID equal to the instance or class, ignoring case, beats the Flatpak ID.
      {{"Navigator", "Firefox", "org.mozilla.firefox", 100}, "firefox"},
      {{"org.example.viewer", "", "", std::nullopt}, "org.example.Viewer"},
      // The Flatpak ID beats _GTK_APPLICATION_ID and the class; a hostile one counts for nothing.
      {{"app", "App", "org.example.Gtk", 100}, "org.example.Sandboxed"},
      {{"app", "App", "org.example.Gtk", 200}, "org.example.Gtk"},
      {{"app", "App", "", 200}, "App"},
      {{"app", "App", "", 300}, "App"},
      {{"app", "App", "", 301}, "App"},
      {{"app", "App", "", 302}, "App"},
      // The process's executable is an entry's program, else the instance is.
      {{"kcalc", "kcalc", "", std::nullopt}, "org.kde.kcalc"},
      {{"kcalc", "Kcalc", "", 400}, "kde-org.kde.kate"},
      // An interpreter's name says nothing about the application; a script an entry runs does.
      {{"tool.py", "Tool.py", "", 401}, "tool"},
      {{"python3", "Python3", "", std::nullopt}, std::nullopt},
      // An interpreter's script, or the launcher script above it, comes before anything else.
      {{"idle", "Idle", "", 403}, "idle-python3.11"},
      {{"main", "Main", "org.example.Gtk", 407}, "myapp"},
      // Without an entry the script's name stands in for a toolkit's generic class, and the
      // interpreter (an entry runs python3 bare) names no entry.
      {{"!toplevel2", "Toplevel", "", 406}, "timer.py"},
      {{"timer", "Tk", "", std::nullopt}, "timer"},
      {{"java-lang-Thread", "java-lang-Thread", "", std::nullopt}, std::nullopt},
      // Last: the executable's name, without the kernel's "(deleted)".
      {{"", "", "", 200}, "python3.11"},
      // Nothing known, or a process that is gone: no identity.
      {{"", "", "", std::nullopt}, std::nullopt},
      {{"", "", "", 999}, std::nullopt},
      {{"", "", "", 0}, std::nullopt},
      // "#" is kept for a browser's domain, whichever rule found the identity.
      {{"foo", "Foo#Bar", "", std::nullopt}, "Foo_Bar"},
      {{"my#app", "", "", std::nullopt}, "my_app"},
      {{"", "", "org.a#b", std::nullopt}, "org.a_b"},
  };
  for (const auto& [facts, identity] : cases) {
    EXPECT_EQ(applicationIdentity(facts, index_, proc()), identity)
        << facts.wmInstance << " / " << facts.wmClass << " / " << facts.pid.value_or(-1);
  }
}

TEST_F(IdentityTest, WaylandAppIdsStandWhereTheClassDoes) {
  const std::tuple<const char*, const char*, std::optional<int>, std::optional<std::string>>
      cases[] = {
          // The app_id as an entry ID (any case), or named by an entry's StartupWMClass.
          {"org.example.viewer", "", std::nullopt, "org.example.Viewer"},
          {"gnome-text-editor", "", std::nullopt, "org.gnome.TextEditor"},
          // GNOME's application ids end in ".desktop".
          {"org.gnome.TextEditor.desktop", "", std::nullopt, "org.gnome.TextEditor"},
          // A bare program name (GTK 3) names the entry that runs it; of two, not its settings.
          {"gedit", "", std::nullopt, "org.gnome.gedit"},
          {"mousepad", "", std::nullopt, "org.xfce.mousepad"},
          {"python3", "", std::nullopt, std::nullopt},
          // A shell's resource class is asked first for StartupWMClass, as the X11 instance is.
          {"org.kde.unknown", "gnome-text-editor", std::nullopt, "org.gnome.TextEditor"},
          // No entry: the app_id itself, else the class, else the Flatpak ID or executable.
          {"alpha", "", std::nullopt, "alpha"},
          {"", "Alpha", std::nullopt, "Alpha"},
          {"", "", 100, "org.example.Sandboxed"},
          {"", "", 200, "python3.11"},
          {"", "", std::nullopt, std::nullopt},
      };
  for (const auto& [appId, wmClass, pid, expected] : cases) {
    EXPECT_EQ(waylandIdentity(appId, wmClass, pid, index_, proc()), expected)
        << appId << " / " << wmClass;
  }
}

TEST_F(IdentityTest, OneApplicationHasOneKeyInEverySession) {
  using Wayland = std::tuple<const char*, const char*, std::optional<int>>;
  // X11 facts (also the rules' cases above), then what wlroots (app_id alone), KWin (desktop file
  // name, resource class, pid) and GNOME Shell (entry ID when matched, WM class, pid) report.
  // Xwayland windows under wlroots are asked about on the X display, so they have X11 facts.
  const std::tuple<WindowFacts, std::vector<Wayland>, const char*> cases[] = {
      {{"gedit", "Gedit", "org.gnome.gedit", std::nullopt},
       {{"gedit", "", std::nullopt}, {"org.gnome.gedit", "gedit", 9}, {"", "gedit", 9}},
       "org.gnome.gedit"},
      {{"mousepad", "Mousepad", "org.xfce.mousepad", std::nullopt},
       {{"mousepad", "", std::nullopt}, {"org.xfce.mousepad.desktop", "mousepad", 9}},
       "org.xfce.mousepad"},
      {{"kcalc", "kcalc", "", 402},
       {{"org.kde.kcalc", "", std::nullopt}, {"", "kcalc", 402}},
       "org.kde.kcalc"},
      {{"!listedtoplevel", "Toplevel", "", 403},
       {{"", "Toplevel", 403}, {"", "idle", 403}},
       "idle-python3.11"},
      {{"sun-awt-X11-XFramePeer", "tim-prune-GpsPrune", "", 404},
       {{"", "tim-prune-GpsPrune", 404}, {"", "sun-awt-X11-XDialogPeer", 404}},
       "gpsprune"},
      {{"timer", "Tk", "", 406}, {{"", "Tk", 406}, {"", "Toplevel", 406}}, "timer.py"},
  };
  for (const auto& [x11, sessions, key] : cases) {
    EXPECT_EQ(applicationIdentity(x11, index_, proc()), key) << key;
    for (const auto& [appId, wmClass, pid] : sessions) {
      EXPECT_EQ(waylandIdentity(appId, wmClass, pid, index_, proc()), key) << appId << wmClass;
    }
  }
}

TEST_F(IdentityTest, RememberedIdentitiesFollowNewScansAndChangedFacts) {
  WindowIdentities identities;
  const WindowFacts editor{"gnome-text-editor", "Editor", "", std::nullopt};
  EXPECT_EQ(identities.of(1, editor, DesktopEntryIndex{}), "Editor");
  EXPECT_EQ(identities.of(1, editor, index_), "org.gnome.TextEditor");
  EXPECT_EQ(identities.of(1, WindowFacts{"other", "Other", "", std::nullopt}, index_), "Other");
}

TEST(FlatpakInfo, NameComesFromTheApplicationGroupOnly) {
  EXPECT_EQ(flatpakAppId("[Instance]\nname=wrong\n[Application]\nname = org.a.B\n"), "org.a.B");
  EXPECT_EQ(flatpakAppId("[Runtime]\nname=org.freedesktop.Platform\n"), std::nullopt);
  EXPECT_EQ(flatpakAppId("[Application]\nname=\n"), std::nullopt);
}

TEST(ChoosePid, TheServersPidBeatsWhatTheClientClaims) {
  // Inside a sandbox _NET_WM_PID is the pid in the sandbox's namespace.
  EXPECT_EQ(choosePid(2, std::nullopt, "host", 4242), 4242);
  EXPECT_EQ(choosePid(1234, "host", "host", std::nullopt), 1234);
  EXPECT_EQ(choosePid(1234, std::nullopt, "host", std::nullopt), 1234);
  // A remote client's pid names a process of another machine.
  EXPECT_EQ(choosePid(1234, "elsewhere", "host", std::nullopt), std::nullopt);
  EXPECT_EQ(choosePid(0, std::nullopt, "host", std::nullopt), std::nullopt);
  EXPECT_EQ(choosePid(0xFFFFFFFFu, std::nullopt, "host", std::nullopt), std::nullopt);
  EXPECT_EQ(choosePid(std::nullopt, std::nullopt, "host", std::nullopt), std::nullopt);
}

// A shell's script sends the pid as text; only the whole text as a positive number is one.
TEST(ShellPid, OnlyWholePositiveDecimals) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"42", 42},          {"42x", std::nullopt}, {" 42", std::nullopt},        {"", std::nullopt},
      {"0", std::nullopt}, {"-7", std::nullopt},  {"99999999999", std::nullopt}};
  for (const auto& [text, pid] : cases) EXPECT_EQ(shellPid(text), pid) << text;
}

// A dialog counts for its owner; none, itself, the root or a chain long enough end the chain.
TEST(TransientOwner, FollowsOnlyARealOwnerAFewStepsFar) {
  constexpr xcb_window_t kRoot = 1, kWindow = 5;
  const std::tuple<xcb_window_t, int, std::optional<xcb_window_t>> cases[] = {
      {7, 0, 7},
      {7, kMaxTransientDepth - 1, 7},
      {7, kMaxTransientDepth, std::nullopt},
      {XCB_WINDOW_NONE, 0, std::nullopt},
      {kWindow, 0, std::nullopt},
      {kRoot, 0, std::nullopt}};
  for (const auto& [owner, depth, followed] : cases) {
    EXPECT_EQ(transientOwner(kWindow, owner, kRoot, depth), followed) << owner << " " << depth;
  }
}

// A dialog counts for its listed owner, along chains; a loop or an owner not listed ends there.
TEST(ListedOwner, DialogsCountForTheListedWindowTheyBelongTo) {
  const std::vector<ListedWindow> windows = {{10, 0},  {30, 10}, {31, 30}, {40, 41},
                                             {41, 40}, {50, 99}, {60, 1}};
  const std::size_t owners[] = {0, 0, 0, 3, 4, 5, 6};
  for (std::size_t i = 0; i < windows.size(); ++i)
    EXPECT_EQ(listedOwner(windows, i, 1), owners[i]) << i;
}

// One row per application in the client list's order, with its first window's title.
TEST(GroupByApplication, OneRowPerIdentityWithTheFirstWindowsTitle) {
  using Row = std::tuple<std::string, std::string, std::vector<std::uint32_t>>;
  std::vector<Row> rows;
  for (const RunningWindow& row : groupByApplication({{10, "", "", "Alpha one", "alpha"},
                                                      {20, "", "", "Gamma", "gamma"},
                                                      {11, "", "", "Alpha two", "alpha"},
                                                      {30, "", "", "Dialog", "alpha"},
                                                      {70, "", "", "Nobody", std::nullopt}})) {
    rows.emplace_back(row.identity, row.title, row.windows);
  }
  EXPECT_EQ(rows,
            (std::vector<Row>{{"alpha", "Alpha one", {10, 11, 30}}, {"gamma", "Gamma", {20}}}));
}

TEST(LargestIcon, PicksTheBiggestWholeImageAndStopsAtBadData) {
  // 1×1, then 2×2, then a truncated 3×3.
  std::vector<std::uint32_t> data{1, 1, 0xff000000, 2, 2, 1, 2, 3, 4, 3, 3, 9};
  RunningWindow window;
  ASSERT_TRUE(largestIcon(data.data(), data.size(), window));
  EXPECT_EQ(window.iconWidth, 2);
  EXPECT_EQ(window.iconHeight, 2);
  EXPECT_EQ(window.iconArgb, (std::vector<std::uint32_t>{1, 2, 3, 4}));

  std::vector<std::uint32_t> huge{0xFFFFFFFFu, 0xFFFFFFFFu, 1};
  RunningWindow none;
  EXPECT_FALSE(largestIcon(huge.data(), huge.size(), none));
  EXPECT_FALSE(largestIcon(data.data(), 1, none));
  EXPECT_TRUE(none.iconArgb.empty());

  // For drawing at a side: the smallest image covering it, else the largest there is.
  for (const auto& [side, width] : {std::pair{1, 1}, {2, 2}, {32, 2}}) {
    auto icon = pickIcon(data.data(), data.size(), side);
    ASSERT_TRUE(icon) << side;
    EXPECT_EQ(icon->width, width) << side;
  }
}

}  // namespace
}  // namespace quillmoss::desktop
