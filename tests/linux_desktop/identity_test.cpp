// The application identity rules, in order, against desktop entries and a stand-in /proc.
#include "linux_desktop/identity.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "linux_desktop/x11_window_facts.h"
#include "linux_desktop/x11_windows.h"
#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

class IdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    entry("org.gnome.TextEditor", "Text Editor", "gnome-text-editor");
    entry("firefox", "Firefox", "");
    entry("org.example.Viewer", "Viewer", "");
    index_ = DesktopEntryIndex::scan({temp_.path() / "data"});
    // pid 100: a Flatpak app; pid 200: /usr/bin/python3.11, replaced on disk since.
    fs::create_directories(proc() / "100/root");
    std::ofstream(proc() / "100/root/.flatpak-info")
        << "[Application]\nname=org.example.Sandboxed\nruntime=x\n";
    fs::create_directories(proc() / "200/root");
    fs::create_symlink("/usr/bin/python3.11 (deleted)", proc() / "200/exe");
  }

  void entry(const std::string& id, const std::string& name, const std::string& wmClass) {
    fs::path file = temp_.path() / "data/applications" / (id + ".desktop");
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "[Desktop Entry]\nName=" << name
                        << (wmClass.empty() ? "" : "\nStartupWMClass=" + wmClass) << "\n";
  }
  fs::path proc() const { return temp_.path() / "proc"; }
  std::optional<std::string> identity(WindowFacts facts) {
    return applicationIdentity(facts, index_, proc());
  }

  quillmoss::testing::TempDir temp_;
  DesktopEntryIndex index_;
};

TEST_F(IdentityTest, RulesApplyInOrder) {
  // StartupWMClass beats an entry whose ID is the class.
  EXPECT_EQ(identity({"gnome-text-editor", "firefox", "", 100}), "org.gnome.TextEditor");
  // ... and the instance is tried before the class.
  EXPECT_EQ(identity({"x", "gnome-text-editor", "", std::nullopt}), "org.gnome.TextEditor");
  // An entry ID equal to the instance or class, ignoring case, beats the Flatpak ID.
  EXPECT_EQ(identity({"Navigator", "Firefox", "org.mozilla.firefox", 100}), "firefox");
  EXPECT_EQ(identity({"org.example.viewer", "", "", std::nullopt}), "org.example.Viewer");
  // The Flatpak ID beats _GTK_APPLICATION_ID and the class.
  EXPECT_EQ(identity({"app", "App", "org.example.Gtk", 100}), "org.example.Sandboxed");
  EXPECT_EQ(identity({"app", "App", "org.example.Gtk", 200}), "org.example.Gtk");
  EXPECT_EQ(identity({"app", "App", "", 200}), "App");
  // Last: the executable's name, without the kernel's "(deleted)".
  EXPECT_EQ(identity({"", "", "", 200}), "python3.11");
  // Nothing known, or a process that is gone: no identity.
  EXPECT_EQ(identity({"", "", "", std::nullopt}), std::nullopt);
  EXPECT_EQ(identity({"", "", "", 999}), std::nullopt);
  EXPECT_EQ(identity({"", "", "", 0}), std::nullopt);
}

TEST_F(IdentityTest, WaylandAppIdsStandWhereTheClassDoes) {
  struct Case {
    const char* appId;
    const char* wmClass;
    std::optional<int> pid;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      // The app_id as an entry ID (any case), or named by an entry's StartupWMClass.
      {"org.example.viewer", "", std::nullopt, "org.example.Viewer"},
      {"gnome-text-editor", "", std::nullopt, "org.gnome.TextEditor"},
      // GNOME's application ids end in ".desktop".
      {"org.gnome.TextEditor.desktop", "", std::nullopt, "org.gnome.TextEditor"},
      // A shell's resource class is asked first for StartupWMClass, as the X11 instance is.
      {"org.kde.unknown", "gnome-text-editor", std::nullopt, "org.gnome.TextEditor"},
      // No entry: the app_id itself, else the class, else the Flatpak ID or executable.
      {"alpha", "", std::nullopt, "alpha"},
      {"", "Alpha", std::nullopt, "Alpha"},
      {"", "", 100, "org.example.Sandboxed"},
      {"", "", 200, "python3.11"},
      {"", "", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(waylandIdentity(c.appId, c.wmClass, c.pid, index_, proc()), c.expected)
        << c.appId << " / " << c.wmClass;
  }
}

TEST_F(IdentityTest, HostileFlatpakInfoNeitherHangsNorCounts) {
  // A sandboxed app controls its own root: a FIFO there must not block the tracker, and a
  // directory or a huge file is simply not an application ID.
  fs::create_directories(proc() / "300/root");
  ASSERT_EQ(::mkfifo((proc() / "300/root/.flatpak-info").c_str(), 0600), 0);
  EXPECT_EQ(identity({"app", "App", "", 300}), "App");
  fs::create_directories(proc() / "301/root/.flatpak-info");
  EXPECT_EQ(identity({"app", "App", "", 301}), "App");
  fs::create_directories(proc() / "302/root");
  std::ofstream(proc() / "302/root/.flatpak-info")
      << std::string(100 * 1024, '#') << "\n[Application]\nname=org.example.Late\n";
  EXPECT_EQ(identity({"app", "App", "", 302}), "App");
}

TEST(IdentityRules, ProgramsAndInstancesNameEntriesAndNoIdentityHoldsANumberSign) {
  quillmoss::testing::TempDir temp;
  const fs::path apps = temp.path() / "data/applications";
  const auto write = [](const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "[Desktop Entry]\nType=Application\n" << text;
  };
  // As Debian installs them: KCalc names no class; a browser and one of its web apps do.
  write(apps / "org.kde.kcalc.desktop", "Name=KCalc\nExec=kcalc\n");
  write(apps / "kde/org.kde.kate.desktop", "Name=Kate\nExec=env QT_X=1 /usr/bin/kate -b %U\n");
  write(apps / "browser.desktop", "Name=Browser\nExec=browser %U\nStartupWMClass=Browser\n");
  write(apps / "webapp.desktop",
        "Name=Web app\nExec=browser --app-id=webapp\nStartupWMClass=crx_webapp\n");
  write(apps / "tool.desktop", "Name=Tool\nExec=python3 /opt/tool/tool.py\n");
  write(apps / "my#app.desktop", "Name=Mine\nExec=mine\n");
  const DesktopEntryIndex index = DesktopEntryIndex::scan({temp.path() / "data"});
  const fs::path proc = temp.path() / "proc";
  for (auto [pid, exe] : {std::pair{400, "/usr/bin/kate"}, std::pair{401, "/usr/bin/python3.11"},
                          std::pair{402, "/usr/bin/kcalc"}}) {
    fs::create_directories(proc / std::to_string(pid));
    fs::create_symlink(exe, proc / std::to_string(pid) / "exe");
  }
  struct Case {
    WindowFacts facts;
    std::optional<std::string> identity;
  };
  const Case cases[] = {
      // The process's executable is an entry's program, else the instance is.
      {{"kcalc", "kcalc", "", 402}, "org.kde.kcalc"},
      {{"kcalc", "kcalc", "", std::nullopt}, "org.kde.kcalc"},
      {{"kcalc", "Kcalc", "", 400}, "kde-org.kde.kate"},
      // StartupWMClass: the instance before the class, so a web app is not the browser.
      {{"crx_webapp", "Browser", "", std::nullopt}, "webapp"},
      {{"browser", "Browser", "", std::nullopt}, "browser"},
      // An interpreter's name says nothing about the application.
      {{"tool.py", "Tool.py", "", 401}, "Tool.py"},
      {{"python3", "Python3", "", std::nullopt}, "Python3"},
      // "#" is kept for a browser's domain, whichever rule found the identity.
      {{"foo", "Foo#Bar", "", std::nullopt}, "Foo_Bar"},
      {{"my#app", "", "", std::nullopt}, "my_app"},
      {{"", "", "org.a#b", std::nullopt}, "org.a_b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(applicationIdentity(c.facts, index, proc), c.identity)
        << c.facts.wmInstance << " / " << c.facts.wmClass;
  }
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
}

}  // namespace
}  // namespace quillmoss::desktop
