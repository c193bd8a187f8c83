// Names and icons on an XDG desktop in a temporary folder, running windows from a double.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <functional>
#include <tuple>

#include "names/app_names_and_icons.h"
#include "platform/linux/icon_theme.h"
#include "platform/linux/installed_applications.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/pixbuf_image.h"
#include "platform/linux/x11/running_windows.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;
using Png = std::optional<std::vector<std::uint8_t>>;

constexpr std::uint32_t kRed = 0xff0000ff, kGreen = 0x00ff00ff, kBlue = 0x0000ffff,
                        kYellow = 0xffff00ff, kWhite = 0xffffffff;

void writePng(const fs::path& file, int side, std::uint32_t rgba, int height = 0) {
  fs::create_directories(file.parent_path());
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, side, height ? height : side);
  gdk_pixbuf_fill(pixbuf, rgba);
  gdk_pixbuf_save(pixbuf, file.c_str(), "png", nullptr, nullptr);
  g_object_unref(pixbuf);
}

// The pixels (0xRRGGBBAA, row by row) of a 32 x 32 PNG; empty for anything else.
std::vector<std::uint32_t> pixels32(const Png& png) {
  std::vector<std::uint32_t> rgba;
  if (!png) return rgba;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_write(loader, png->data(), png->size(), nullptr) &&
                              gdk_pixbuf_loader_close(loader, nullptr)
                          ? gdk_pixbuf_loader_get_pixbuf(loader)
                          : nullptr;
  if (pixbuf && gdk_pixbuf_get_width(pixbuf) == 32 && gdk_pixbuf_get_height(pixbuf) == 32) {
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* row = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < 32; ++y, row += gdk_pixbuf_get_rowstride(pixbuf)) {
      for (const guchar* p = row; p < row + 32 * channels; p += channels) {
        rgba.push_back(std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                       std::uint32_t{p[2]} << 8 | (channels == 4 ? p[3] : 0xffu));
      }
    }
  }
  g_object_unref(loader);
  return rgba;
}

// A 32 x 32 PNG of one colour; colour 0 means no icon at all.
void expectIcon(const Png& png, std::uint32_t rgba) {
  EXPECT_EQ(png.has_value(), rgba != 0);
  EXPECT_EQ(pixels32(png), std::vector<std::uint32_t>(rgba ? 32 * 32 : 0, rgba));
}

std::string desktopEntry(const std::string& name, const std::string& icon,
                         const std::string& extra = "") {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" +
         (icon.empty() ? "" : "Icon=" + icon + "\n") + extra;
}

// data/applications, data/icons (hicolor and the current theme "Current") and pixmaps.
void makeDesktop(const fs::path& root) {
  const fs::path apps = root / "data/applications", hicolor = root / "data/icons/hicolor";
  const fs::path current = root / "data/icons/Current";
  writeBytes(hicolor / "index.theme",
             "[Icon Theme]\nName=Hicolor\nDirectories=16x16/apps,32x32/apps,32x32@2/apps,"
             "48x48/apps,256x256/apps,scalable/apps\n"
             "[16x16/apps]\nSize=16\nType=Threshold\n[32x32/apps]\nSize=32\nType=Threshold\n"
             "[32x32@2/apps]\nSize=32\nScale=2\nType=Threshold\n"
             "[48x48/apps]\nSize=48\nType=Threshold\n[256x256/apps]\nSize=256\nType=Threshold\n"
             "[scalable/apps]\nSize=128\nMinSize=8\nMaxSize=512\nType=Scalable\n");
  writeBytes(current / "index.theme",
             "[Icon Theme]\nName=Current\nInherits=hicolor\nDirectories=64x64/apps\n"
             "[64x64/apps]\nSize=64\nType=Fixed\n");
  // Sizes around 32: the 48 wins over 16 and 256; the 16 only when nothing else exists.
  writePng(hicolor / "16x16/apps/editor.png", 16, kBlue);
  writePng(hicolor / "48x48/apps/editor.png", 48, kRed);
  writePng(hicolor / "256x256/apps/editor.png", 256, kGreen);
  writePng(hicolor / "16x16/apps/tiny.png", 16, kBlue);
  writePng(hicolor / "32x32@2/apps/tiny.png", 64, kGreen);
  // A wide vector icon only: stretched over the whole square.
  writeBytes(hicolor / "scalable/apps/vector.svg",
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"16\" "
             "viewBox=\"0 0 64 16\"><rect width=\"64\" height=\"16\" fill=\"#00ff00\"/></svg>\n");
  writePng(hicolor / "16x16/apps/vector.png", 16, kBlue);
  // The current theme wins over hicolor's exact size.
  writePng(hicolor / "32x32/apps/themed.png", 32, kBlue);
  writePng(current / "64x64/apps/themed.png", 64, kYellow);
  // Pixmaps as the last resort, XPM included.
  writeBytes(root / "pixmaps/oldstyle.xpm",
             "/* XPM */\nstatic char * x[] = {\"2 2 1 1\", \"a c #FFFF00\", \"aa\", \"aa\"};\n");
  writePng(root / "absolute/logo.png", 20, kWhite, 10);
  writeBytes(root / "absolute/broken.png", "not a png at all");

  const std::pair<const char*, std::string> entries[] = {
      {"org.example.Editor", desktopEntry("Text Editor", "editor", "Name[de]=Texteditor\n")},
      {"org.example.Vector", desktopEntry("Vector Studio", "vector.svg")},
      {"org.example.Themed", desktopEntry("Themed", "themed")},
      {"org.example.Tiny", desktopEntry("Tiny", "tiny")},
      {"org.example.Old", desktopEntry("Old Style", "oldstyle")},
      {"org.example.Logo", desktopEntry("Logo", (root / "absolute/logo.png").string())},
      {"org.example.Broken", desktopEntry("Broken", (root / "absolute/broken.png").string())},
      {"org.example.Missing", desktopEntry("Missing", "no-such-icon")},
      {"org.example.Escape", desktopEntry("Escape", "../Current/index")},
      {"org.example.Bare", desktopEntry("Bare", "")},
      {"kde/org.example.Nested", desktopEntry("Nested", "vector")},
      {"WmClassed", desktopEntry("Classy App", "themed", "StartupWMClass=classy\n")}};
  for (const auto& [id, text] : entries) writeBytes(apps / (std::string(id) + ".desktop"), text);
  // Settled folders: their times lie well before the first scan.
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(apps, past);
  fs::last_write_time(apps / "kde", past);
}

struct DrawnImage : host::Image {
  explicit DrawnImage(std::function<Png(int, int)> draw) : draw(std::move(draw)) {}
  Png pngDrawnAtSize(int width, int height) const override { return draw(width, height); }
  std::function<Png(int, int)> draw;
};

// Window 7 has a blue icon, the others none; records which windows' icons were drawn.
struct RunningWindowsDouble : host::RunningWindows {
  std::optional<std::vector<desktop::RunningWindow>> list() override { return windows; }
  std::shared_ptr<const host::Image> windowIcon(
      const desktop::RunningWindow& window, std::shared_ptr<const host::Image> otherwise) override {
    if (window.windows.empty()) return nullptr;
    return std::make_shared<DrawnImage>([this, ids = window.windows, otherwise](int w, int h) {
      drawn.insert(drawn.end(), ids.begin(), ids.end());
      if (ids.front() == 7) return host::ArgbImage(1, 1, {0xff0000ffu}).pngDrawnAtSize(w, h);
      return otherwise ? otherwise->pngDrawnAtSize(w, h) : std::nullopt;
    });
  }
  std::vector<desktop::RunningWindow> windows;
  std::vector<std::uint32_t> drawn;
};

class LinuxWorkspaceTest : public ::testing::Test {
 protected:
  TempDir temp;
  const fs::path root = (makeDesktop(temp.path()), temp.path());
  RunningWindowsDouble running;
  host::XdgInstalledApplications installed{{root / "data"}};
  host::IconTheme theme{{{root / "data/icons"}, {root / "pixmaps"}, "Current"}};
  host::LinuxWorkspace workspace{running, installed, theme};
  host::AppNamesAndIcons names{workspace};

  // Keys, their names, and the colours of their icons.
  using Expected = std::tuple<const char*, std::optional<std::string>, std::uint32_t>;
  void expectNamesAndIcons(const std::vector<Expected>& cases) {
    for (const auto& [key, name, colour] : cases) {
      SCOPED_TRACE(key);
      EXPECT_EQ(names.getAppName(key), name);
      expectIcon(names.getAppIcon(key), colour);
    }
  }
};

TEST_F(LinuxWorkspaceTest, InstalledEntriesAsTheyAreNowNameEveryKeyShapeAndDrawEveryIconKind) {
  // The colours show which file the theme chose (see makeDesktop); IDs match ignoring case.
  expectNamesAndIcons({{"org.example.Editor", "Text Editor", kRed},
                       {"org.example.Editor#example.com", "example.com", kRed},
                       {"#org.example.Editor", "org.example.Editor", kRed},
                       {"org.example.vector", "Vector Studio", kGreen},
                       {"kde-org.example.Nested", "Nested", kGreen},
                       {"org.example.Themed", "Themed", kYellow},
                       {"org.example.Tiny", "Tiny", kBlue},
                       {"org.example.Old", "Old Style", kYellow},
                       {"org.example.Logo", "Logo", kWhite},
                       {"org.example.Nowhere", std::nullopt, 0},
                       {"", std::nullopt, 0}});
  // An unreadable, missing, escaping or absent icon is nil; the name is still there.
  for (std::string name : {"Broken", "Missing", "Escape", "Bare"}) {
    EXPECT_EQ(names.getAppName("org.example." + name), name);
    EXPECT_EQ(names.getAppIcon("org.example." + name), std::nullopt) << name;
  }
  // Entries added or removed in any applications folder are seen.
  EXPECT_EQ(names.getAppName("kde-org.example.Later"), std::nullopt);
  writeBytes(root / "data/applications/kde/org.example.Later.desktop",
             desktopEntry("Later", "editor"));
  EXPECT_EQ(names.getAppName("kde-org.example.Later"), "Later");
  fs::remove(root / "data/applications/org.example.Editor.desktop");
  EXPECT_EQ(names.getAppName("org.example.Editor"), std::nullopt);
}

// Started at the host's start, off its main thread: the first lookup then scans nothing.
TEST_F(LinuxWorkspaceTest, AScanStartedAheadServesTheFirstLookup) {
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& item : fs::recursive_directory_iterator(root / "data")) {
    fs::last_write_time(item, past);
  }
  bool scanned = false;
  installed.scanAhead([&] { scanned = true; });
  EXPECT_EQ(names.getAppName("org.example.Editor"), "Text Editor");
  EXPECT_TRUE(scanned);
  EXPECT_EQ(installed.scanCount(), 1);
}

TEST_F(LinuxWorkspaceTest, RunningApplicationsNameFirstAndIconSecondDrawnOnlyWhenAsked) {
  // Editor's blue window icon loses to its entry's red one; classy matches by StartupWMClass.
  running.windows = {
      {"", "Nobody", 0, 0, {}, {}},
      {"org.example.Editor", "notes.txt - Editor", 2, 2, std::vector(4, 0xff0000ffu), {}},
      {"tool", "Tool Window", 3, 1, std::vector(3, 0xffff0000u), {}},
      {"classy", "Classy main window", 0, 0, {}, {}},
      {"untitled", "", 0, 0, {}, {}}};
  expectNamesAndIcons({{"org.example.Editor", "Text Editor", kRed},
                       {"tool", "Tool Window", kRed},
                       {"classy", "Classy App", kYellow},
                       {"untitled", std::nullopt, 0},
                       {"", std::nullopt, 0}});

  // Window icons are drawn only for the application matched, and only when asked for.
  running.windows = {{"tool", "Tool Window", 0, 0, {}, {7}},
                     {"classy", "Classy main window", 0, 0, {}, {8, 9}},
                     {"other", "Other", 0, 0, {}, {10}}};
  EXPECT_EQ(names.getAppName("classy"), "Classy App");
  EXPECT_TRUE(running.drawn.empty());  // Not for names.
  // Classy's windows have no icon: its entry's is drawn instead.
  expectNamesAndIcons({{"tool", "Tool Window", kBlue}, {"classy", "Classy App", kYellow}});
  EXPECT_EQ(running.drawn, (std::vector<std::uint32_t>{7, 8, 9}));

  // An X11 window icon holds its owner weakly: drawn after it is gone, it draws its fallback.
  std::shared_ptr<const host::Image> icon;
  {
    host::X11RunningWindows x11(installed);
    icon = x11.windowIcon({"tool", "Tool", 0, 0, {}, {1}},
                          std::make_shared<host::ArgbImage>(1, 1, std::vector{0xff00ff00u}));
  }
  ASSERT_NE(icon, nullptr);
  expectIcon(icon->pngDrawnAtSize(32, 32), kGreen);
}

using PixbufImage = LinuxWorkspaceTest;

TEST_F(PixbufImage, RefusesBadSizesAndShortPixelData) {
  EXPECT_EQ(host::ArgbImage(2, 2, {1, 2, 3}).pngDrawnAtSize(32, 32), std::nullopt);
  EXPECT_EQ(host::ArgbImage(0, 2, {}).pngDrawnAtSize(32, 32), std::nullopt);
  EXPECT_EQ(host::ArgbImage(1, 1, {0xff00ff00u}).pngDrawnAtSize(0, 32), std::nullopt);
  expectIcon(host::ArgbImage(1, 1, {0x8000ff00u}).pngDrawnAtSize(32, 32), 0x00ff0080u);

  // Missing, a folder, damaged files of each format, and an extension lying about the content.
  const fs::path dir = root / "files";
  fs::create_directories(dir / "folder.png");
  const std::string whole = readBytes(root / "data/icons/hicolor/48x48/apps/editor.png");
  writeBytes(dir / "cut.png", whole.substr(0, whole.size() / 2));
  writeBytes(dir / "bad.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"");
  writeBytes(dir / "bad.xpm", "/* XPM */\nstatic char * x[] = {\"9 9 1 1\"};\n");
  writeBytes(dir / "really-png.svg", whole);
  writeBytes(dir / "noextension", whole);
  for (const char* name : {"missing.png", "folder.png", "bad.svg", "bad.xpm", "really-png.svg"}) {
    EXPECT_EQ(host::PixbufFileImage(dir / name).pngDrawnAtSize(32, 32), std::nullopt) << name;
  }
  // A cut PNG may still give its decoded rows; it must only not fail badly.
  if (Png cut = host::PixbufFileImage(dir / "cut.png").pngDrawnAtSize(32, 32)) {
    EXPECT_EQ(pixels32(cut).size(), 32u * 32u);
  }
  expectIcon(host::PixbufFileImage(dir / "noextension").pngDrawnAtSize(32, 32), kRed);
}

// 17 KB of PNG declaring 12,000 x 12,000 pixels (432 MB decoded) is refused from its header.
TEST_F(PixbufImage, ABitmapDeclaringAGiantSideIsRefusedUndecoded) {
  const auto be32 = [](std::uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  const auto chunk = [&](const std::string& kindAndPayload) {
    const auto crc =
        ::crc32(0, reinterpret_cast<const Bytef*>(kindAndPayload.data()), kindAndPayload.size());
    return be32(kindAndPayload.size() - 4) + kindAndPayload + be32(crc);
  };
  constexpr std::uint32_t kSide = 12000;
  const std::string rows(kSide * (1 + kSide / 8), '\0');  // One bit per pixel, all black.
  std::string compressed(::compressBound(rows.size()), '\0');
  uLongf length = compressed.size();
  ASSERT_EQ(::compress2(reinterpret_cast<Bytef*>(compressed.data()), &length,
                        reinterpret_cast<const Bytef*>(rows.data()), rows.size(), 9),
            Z_OK);
  compressed.resize(length);
  const std::string depth1Grey("\x01\0\0\0\0", 5);
  writeBytes(root / "bomb.png", "\x89PNG\r\n\x1a\n" +
                                    chunk("IHDR" + be32(kSide) + be32(kSide) + depth1Grey) +
                                    chunk("IDAT" + compressed) + chunk("IEND"));
  EXPECT_EQ(host::PixbufFileImage(root / "bomb.png").pngDrawnAtSize(32, 32), std::nullopt);
}

// Icons are not cached: a new theme, or a change of theme, shows on the next lookup.
TEST(IconThemeTest, AThemeMadeLaterAndAChangeOfThemeAreSeenOnTheNextLookup) {
  const TempDir temp;
  const fs::path& base = temp.path();
  std::string current = "First";
  const host::IconTheme theme([&] { return host::IconThemeFolders{{base}, {}, current}; });
  EXPECT_EQ(theme.lookup("app"), std::nullopt);
  for (const std::string name : {"First", "Second"}) {
    writeBytes(
        base / name / "index.theme",
        "[Icon Theme]\nName=" + name + "\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\n");
    writePng(base / name / "48x48/apps/app.png", 48, kRed);
  }
  EXPECT_EQ(theme.lookup("app"), base / "First/48x48/apps/app.png");
  current = "Second";
  EXPECT_EQ(theme.lookup("app"), base / "Second/48x48/apps/app.png");
}

}  // namespace
}  // namespace quillmoss::testing
