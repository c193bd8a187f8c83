// Names and icons on an XDG desktop: desktop entries and an icon theme in a temporary folder,
// running windows from a double, the replies decoded as PNG.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "names/app_names_and_icons.h"
#include "pixbuf_test_support.h"
#include "platform/linux_workspace/icon_theme.h"
#include "platform/linux_workspace/installed_applications.h"
#include "platform/linux_workspace/linux_workspace.h"
#include "platform/linux_workspace/pixbuf_image.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRed = 0xff0000ff;
constexpr std::uint32_t kGreen = 0x00ff00ff;
constexpr std::uint32_t kBlue = 0x0000ffff;
constexpr std::uint32_t kYellow = 0xffff00ff;
constexpr std::uint32_t kWhite = 0xffffffff;

class RunningWindowsDouble : public host::RunningWindows {
 public:
  std::vector<desktop::RunningWindow> list() override { return windows; }
  std::vector<desktop::RunningWindow> windows;
};

std::string desktopEntry(const std::string& name, const std::string& icon,
                         const std::string& extra = "") {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" +
         (icon.empty() ? "" : "Icon=" + icon + "\n") + extra;
}

std::string themeIndex(const std::string& name, const std::string& inherits,
                       const std::vector<std::pair<std::string, std::string>>& dirs) {
  std::string text = "[Icon Theme]\nName=" + name + "\n";
  if (!inherits.empty()) text += "Inherits=" + inherits + "\n";
  text += "Directories=";
  for (std::size_t i = 0; i < dirs.size(); ++i) text += (i ? "," : "") + dirs[i].first;
  text += "\n\n";
  for (const auto& [dir, group] : dirs) text += "[" + dir + "]\n" + group + "\n";
  return text;
}

class LinuxWorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = temp.path() / "data";
    const fs::path apps = data / "applications";
    const fs::path icons = data / "icons";
    const fs::path hicolor = icons / "hicolor";
    writeText(hicolor / "index.theme",
              themeIndex("Hicolor", "",
                         {{"16x16/apps", "Size=16\nType=Threshold\n"},
                          {"32x32/apps", "Size=32\nType=Threshold\n"},
                          {"32x32@2/apps", "Size=32\nScale=2\nType=Threshold\n"},
                          {"48x48/apps", "Size=48\nType=Threshold\n"},
                          {"256x256/apps", "Size=256\nType=Threshold\n"},
                          {"scalable/apps", "Size=128\nMinSize=8\nMaxSize=512\nType=Scalable\n"}}));
    const fs::path current = icons / "Current";
    writeText(current / "index.theme",
              themeIndex("Current", "hicolor", {{"64x64/apps", "Size=64\nType=Fixed\n"}}));

    // Sizes around 32: the 48 wins over 16 and 256; the 16 only when nothing else exists.
    writePng(hicolor / "16x16/apps/editor.png", 16, 16, kBlue);
    writePng(hicolor / "48x48/apps/editor.png", 48, 48, kRed);
    writePng(hicolor / "256x256/apps/editor.png", 256, 256, kGreen);
    writePng(hicolor / "16x16/apps/tiny.png", 16, 16, kBlue);
    writePng(hicolor / "32x32@2/apps/tiny.png", 64, 64, kGreen);
    // A wide vector icon only: stretched over the whole square.
    writeText(hicolor / "scalable/apps/vector.svg", svgText(64, 16, "#00ff00"));
    writePng(hicolor / "16x16/apps/vector.png", 16, 16, kBlue);
    // The current theme wins over hicolor's exact size.
    writePng(hicolor / "32x32/apps/themed.png", 32, 32, kBlue);
    writePng(current / "64x64/apps/themed.png", 64, 64, kYellow);
    // Pixmaps as the last resort, XPM included.
    writeText(temp.path() / "pixmaps/oldstyle.xpm",
              "/* XPM */\nstatic char * x[] = {\"2 2 1 1\", \"a c #FFFF00\", \"aa\", \"aa\"};\n");
    writePng(temp.path() / "absolute/logo.png", 20, 10, kWhite);
    writeText(temp.path() / "absolute/broken.png", "not a png at all");

    writeText(apps / "org.example.Editor.desktop",
              desktopEntry("Text Editor", "editor", "Name[de]=Texteditor\n"));
    writeText(apps / "org.example.Vector.desktop", desktopEntry("Vector Studio", "vector.svg"));
    writeText(apps / "org.example.Themed.desktop", desktopEntry("Themed", "themed"));
    writeText(apps / "org.example.Tiny.desktop", desktopEntry("Tiny", "tiny"));
    writeText(apps / "org.example.Old.desktop", desktopEntry("Old Style", "oldstyle"));
    writeText(apps / "org.example.Logo.desktop",
              desktopEntry("Logo", (temp.path() / "absolute/logo.png").string()));
    writeText(apps / "org.example.Broken.desktop",
              desktopEntry("Broken", (temp.path() / "absolute/broken.png").string()));
    writeText(apps / "org.example.Missing.desktop", desktopEntry("Missing", "no-such-icon"));
    writeText(apps / "org.example.Escape.desktop", desktopEntry("Escape", "../Current/index"));
    writeText(apps / "org.example.Bare.desktop", desktopEntry("Bare", ""));
    writeText(apps / "kde/org.example.Nested.desktop", desktopEntry("Nested", "editor"));
    writeText(apps / "WmClassed.desktop",
              desktopEntry("Classy App", "themed", "StartupWMClass=classy\n"));

    // Settled folders: their times lie well before the first scan.
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(apps, past);
    fs::last_write_time(apps / "kde", past);

    installed = std::make_unique<host::XdgInstalledApplications>(std::vector<fs::path>{data});
    theme = std::make_unique<host::IconTheme>(
        host::IconThemeFolders{{icons}, {temp.path() / "pixmaps"}, "Current"});
    workspace = std::make_unique<host::LinuxWorkspace>(running, *installed, *theme);
    names = std::make_unique<host::AppNamesAndIcons>(*workspace);
  }

  // The reply decoded; fails the test unless it is a 32 x 32 PNG.
  DecodedPng icon(const std::string& key) {
    auto png = names->getAppIcon(key);
    EXPECT_TRUE(png.has_value()) << key;
    if (!png) return {};
    auto decoded = decodePng(*png);
    EXPECT_TRUE(decoded.has_value()) << key;
    if (!decoded) return {};
    EXPECT_TRUE(decoded->isPng);
    EXPECT_EQ(decoded->width, 32);
    EXPECT_EQ(decoded->height, 32);
    return *decoded;
  }

  TempFolder temp;
  RunningWindowsDouble running;
  std::unique_ptr<host::XdgInstalledApplications> installed;
  std::unique_ptr<host::IconTheme> theme;
  std::unique_ptr<host::LinuxWorkspace> workspace;
  std::unique_ptr<host::AppNamesAndIcons> names;
};

TEST_F(LinuxWorkspaceTest, IconThemePrefersTheNearestSizeFromThirtyTwoUp) {
  auto file = [&](const char* name) { return theme->lookup(name).value_or("").string(); };
  EXPECT_TRUE(file("editor").ends_with("hicolor/48x48/apps/editor.png"));
  EXPECT_TRUE(file("vector").ends_with("hicolor/scalable/apps/vector.svg"));
  EXPECT_TRUE(file("vector.svg").ends_with("hicolor/scalable/apps/vector.svg"));
  EXPECT_TRUE(file("tiny").ends_with("hicolor/16x16/apps/tiny.png"));
  EXPECT_TRUE(file("themed").ends_with("Current/64x64/apps/themed.png"));
  EXPECT_TRUE(file("oldstyle").ends_with("pixmaps/oldstyle.xpm"));
  EXPECT_EQ(theme->lookup("no-such-icon"), std::nullopt);
  EXPECT_EQ(theme->lookup("../Current/index"), std::nullopt);
  EXPECT_EQ(theme->lookup(""), std::nullopt);
}

TEST_F(LinuxWorkspaceTest, InstalledApplicationsAreNamedByTheirEntry) {
  EXPECT_EQ(names->getAppName("org.example.Editor"), "Text Editor");
  EXPECT_EQ(names->getAppName("org.example.vector"), "Vector Studio");
  EXPECT_EQ(names->getAppName("kde-org.example.Nested"), "Nested");
  EXPECT_EQ(names->getAppName("org.example.Nowhere"), std::nullopt);
  EXPECT_EQ(names->getAppName(""), std::nullopt);
  EXPECT_EQ(names->getAppIcon("org.example.Nowhere"), std::nullopt);
}

TEST_F(LinuxWorkspaceTest, KeyShapesFollowTheSignRules) {
  EXPECT_EQ(names->getAppName("org.example.Editor#example.com"), "example.com");
  EXPECT_EQ(icon("org.example.Editor#example.com").at(16, 16), kRed);
  EXPECT_EQ(names->getAppName("org.example.Editor#b#c"), "b#c");
  EXPECT_EQ(icon("org.example.Editor#b#c").at(0, 0), kRed);
  EXPECT_EQ(names->getAppName("org.example.Editor#"), std::optional<std::string>(""));
  EXPECT_EQ(icon("org.example.Editor#").at(31, 31), kRed);
  EXPECT_EQ(names->getAppName("#org.example.Editor"), "org.example.Editor");
  EXPECT_EQ(icon("#org.example.Editor").at(5, 5), kRed);
}

TEST_F(LinuxWorkspaceTest, IconsOfEveryKindComeOutAsThirtyTwoSquarePng) {
  // A wide SVG fills the square: its aspect ratio is not kept.
  const DecodedPng vector = icon("org.example.Vector");
  EXPECT_EQ(vector.at(16, 0), kGreen);
  EXPECT_EQ(vector.at(16, 31), kGreen);
  EXPECT_EQ(icon("org.example.Themed").at(3, 3), kYellow);
  EXPECT_EQ(icon("org.example.Tiny").at(16, 16), kBlue);
  EXPECT_EQ(icon("org.example.Old").at(16, 16), kYellow);
  const DecodedPng logo = icon("org.example.Logo");
  EXPECT_EQ(logo.at(0, 0), kWhite);
  EXPECT_EQ(logo.at(31, 31), kWhite);
  EXPECT_EQ(icon("kde-org.example.Nested").at(16, 16), kRed);
}

TEST_F(LinuxWorkspaceTest, UnreadableOrMissingIconsAreNil) {
  EXPECT_EQ(names->getAppIcon("org.example.Broken"), std::nullopt);
  EXPECT_EQ(names->getAppIcon("org.example.Missing"), std::nullopt);
  EXPECT_EQ(names->getAppIcon("org.example.Escape"), std::nullopt);
  EXPECT_EQ(names->getAppIcon("org.example.Bare"), std::nullopt);
  // The name is still there.
  EXPECT_EQ(names->getAppName("org.example.Broken"), "Broken");
}

TEST_F(LinuxWorkspaceTest, RunningApplicationsNameFirstAndIconSecond) {
  desktop::RunningWindow editor;
  editor.identity = "org.example.Editor";
  editor.title = "notes.txt - Editor";
  // A blue window icon: the installed entry's red icon must still win.
  editor.iconWidth = 2;
  editor.iconHeight = 2;
  editor.iconArgb.assign(4, 0xff0000ffu);
  desktop::RunningWindow tool;
  tool.identity = "tool";
  tool.title = "Tool Window";
  tool.iconWidth = 3;
  tool.iconHeight = 1;
  tool.iconArgb = {0xffff0000u, 0xffff0000u, 0xffff0000u};
  desktop::RunningWindow classy;
  classy.identity = "classy";
  classy.title = "Classy main window";
  desktop::RunningWindow untitled;
  untitled.identity = "untitled";
  desktop::RunningWindow anonymous;
  anonymous.title = "Nobody";
  running.windows = {anonymous, editor, tool, classy, untitled};

  EXPECT_EQ(names->getAppName("org.example.Editor"), "Text Editor");
  EXPECT_EQ(icon("org.example.Editor").at(16, 16), kRed);
  EXPECT_EQ(names->getAppName("tool"), "Tool Window");
  EXPECT_EQ(icon("tool").at(16, 16), kRed);
  // Matched to its entry through StartupWMClass: the entry's name and its themed icon.
  EXPECT_EQ(names->getAppName("classy"), "Classy App");
  EXPECT_EQ(icon("classy").at(16, 16), kYellow);
  EXPECT_EQ(names->getAppName("untitled"), std::nullopt);
  EXPECT_EQ(names->getAppIcon("untitled"), std::nullopt);
  EXPECT_EQ(names->getAppName(""), std::nullopt);
}

TEST_F(LinuxWorkspaceTest, TheIndexIsRescannedOnlyWhenAnApplicationsFolderChanges) {
  EXPECT_EQ(names->getAppName("org.example.Later"), std::nullopt);
  EXPECT_EQ(names->getAppName("org.example.Editor"), "Text Editor");
  EXPECT_EQ(installed->scanCount(), 1);
  writeText(temp.path() / "data/applications/kde/org.example.Later.desktop",
            desktopEntry("Later", "editor"));
  EXPECT_EQ(names->getAppName("kde-org.example.Later"), "Later");
  EXPECT_EQ(installed->scanCount(), 2);
  // Just changed: scanned on every use until the folder has been quiet for a while.
  fs::remove(temp.path() / "data/applications/org.example.Editor.desktop");
  EXPECT_EQ(names->getAppName("org.example.Editor"), std::nullopt);
  EXPECT_GE(installed->scanCount(), 3);
}

TEST(PixbufImage, RefusesBadSizesAndShortPixelData) {
  EXPECT_EQ(host::ArgbImage(2, 2, {1, 2, 3}).pngDrawnAtSize(32, 32), std::nullopt);
  EXPECT_EQ(host::ArgbImage(0, 2, {}).pngDrawnAtSize(32, 32), std::nullopt);
  EXPECT_EQ(host::ArgbImage(1, 1, {0xff00ff00u}).pngDrawnAtSize(0, 32), std::nullopt);
  EXPECT_EQ(host::PixbufFileImage("/nonexistent/icon.png").pngDrawnAtSize(32, 32), std::nullopt);
  TempFolder temp;
  // A folder where the file should be.
  fs::create_directories(temp.path() / "icon.png");
  EXPECT_EQ(host::PixbufFileImage(temp.path() / "icon.png").pngDrawnAtSize(32, 32), std::nullopt);
  // Damaged files of each format, and a file whose extension lies about its content.
  writePng(temp.path() / "whole.png", 48, 48, kRed);
  std::string whole;
  {
    std::ifstream in(temp.path() / "whole.png", std::ios::binary);
    whole.assign(std::istreambuf_iterator<char>(in), {});
  }
  writeText(temp.path() / "cut.png", whole.substr(0, whole.size() / 2));
  writeText(temp.path() / "bad.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"");
  writeText(temp.path() / "bad.xpm", "/* XPM */\nstatic char * x[] = {\"9 9 1 1\"};\n");
  fs::copy_file(temp.path() / "whole.png", temp.path() / "really-png.svg");
  // A cut PNG may still give its decoded rows; it must only not fail badly.
  auto cut = host::PixbufFileImage(temp.path() / "cut.png").pngDrawnAtSize(32, 32);
  if (cut) {
    EXPECT_EQ(decodePng(*cut).value_or(DecodedPng{}).width, 32);
  }
  for (const char* name : {"bad.svg", "bad.xpm", "really-png.svg"}) {
    EXPECT_EQ(host::PixbufFileImage(temp.path() / name).pngDrawnAtSize(32, 32), std::nullopt)
        << name;
  }
  writeText(temp.path() / "noextension", whole);
  EXPECT_TRUE(host::PixbufFileImage(temp.path() / "noextension").pngDrawnAtSize(32, 32));

  auto png = host::ArgbImage(1, 1, {0x8000ff00u}).pngDrawnAtSize(32, 32);
  ASSERT_TRUE(png.has_value());
  auto decoded = decodePng(*png);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->at(10, 10), 0x00ff0080u);
}

}  // namespace
}  // namespace quillmoss::testing
