// "getAppName" and "getAppIcon" (PNG and SVG icons) over an XDG desktop of 300 desktop entries
// and a hicolor theme, with a handful of running windows. Run a Release build:
//   bench_names --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "names/app_names_and_icons.h"
#include "platform/linux/icon_theme.h"
#include "platform/linux/installed_applications.h"
#include "platform/linux/linux_workspace.h"

namespace {

using namespace quillmoss;
namespace fs = std::filesystem;

constexpr int kInstalledApplications = 300;

// A private folder for the benchmark's desktop, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "qm-bench-names-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) path_ = made;
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void writeText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// A PNG of one colour (0xRRGGBBAA).
void writePng(const fs::path& file, int width, int height, std::uint32_t rgba) {
  fs::create_directories(file.parent_path());
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, rgba);
  gdk_pixbuf_save(pixbuf, file.c_str(), "png", nullptr, nullptr);
  g_object_unref(pixbuf);
}

// An icon of the kind desktops ship: gradients, a path and text-free shapes.
const char kSvgIcon[] = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128">
<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="#62a0ea"/><stop offset="1" stop-color="#1a5fb4"/></linearGradient>
<radialGradient id="r" cx="0.5" cy="0.4" r="0.6">
<stop offset="0" stop-color="#fff" stop-opacity="0.6"/><stop offset="1" stop-color="#fff" stop-opacity="0"/>
</radialGradient></defs>
<rect x="8" y="8" width="112" height="112" rx="24" fill="url(#g)"/>
<circle cx="64" cy="56" r="36" fill="url(#r)"/>
<path d="M36 88 L64 32 L92 88 Z" fill="#f6d32d" stroke="#e5a50a" stroke-width="4"/>
<path d="M20 100 C40 80, 88 80, 108 100" fill="none" stroke="#fff" stroke-width="6"/>
</svg>
)svg";

class FewRunningWindows : public host::RunningWindows {
 public:
  FewRunningWindows() {
    for (int i = 0; i < 8; ++i) {
      desktop::RunningWindow window;
      window.identity = "org.example.App" + std::to_string(i * 7);
      window.title = "Window " + std::to_string(i);
      windows_.push_back(window);
    }
  }
  std::optional<std::vector<desktop::RunningWindow>> list() override { return windows_; }

 private:
  std::vector<desktop::RunningWindow> windows_;
};

class Desktop {
 public:
  Desktop() {
    const fs::path data = temp_.path() / "data";
    const fs::path hicolor = data / "icons/hicolor";
    writeText(hicolor / "index.theme",
              "[Icon Theme]\nName=Hicolor\nDirectories=16x16/apps,32x32/apps,48x48/apps,"
              "256x256/apps,scalable/apps\n\n[16x16/apps]\nSize=16\nType=Threshold\n\n"
              "[32x32/apps]\nSize=32\nType=Threshold\n\n[48x48/apps]\nSize=48\n"
              "Type=Threshold\n\n[256x256/apps]\nSize=256\nType=Threshold\n\n"
              "[scalable/apps]\nSize=128\nType=Scalable\n");
    writePng(hicolor / "48x48/apps/raster-icon.png", 48, 48, 0x3584e4ff);
    writePng(hicolor / "256x256/apps/raster-icon.png", 256, 256, 0x3584e4ff);
    writeText(hicolor / "scalable/apps/vector-icon.svg", kSvgIcon);
    for (int i = 0; i < kInstalledApplications; ++i) {
      const std::string icon = i % 2 ? "vector-icon" : "raster-icon";
      writeText(data / "applications" / ("org.example.App" + std::to_string(i) + ".desktop"),
                "[Desktop Entry]\nType=Application\nName=Application " + std::to_string(i) +
                    "\nName[de]=Anwendung " + std::to_string(i) +
                    "\nComment=An application\nExec=app" + std::to_string(i) + " %U\nIcon=" + icon +
                    "\nCategories=Utility;\n");
    }
    // Settled folders, as on a desktop where nothing was just installed.
    fs::last_write_time(data / "applications",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    installed_ = std::make_unique<host::XdgInstalledApplications>(std::vector<fs::path>{data});
    theme_ = std::make_unique<host::IconTheme>(
        host::IconThemeFolders{{data / "icons"}, {temp_.path() / "pixmaps"}, "Adwaita"});
    workspace_ = std::make_unique<host::LinuxWorkspace>(running_, *installed_, *theme_);
    names_ = std::make_unique<host::AppNamesAndIcons>(*workspace_);
  }
  host::AppNamesAndIcons& names() { return *names_; }

 private:
  TempFolder temp_;
  FewRunningWindows running_;
  std::unique_ptr<host::XdgInstalledApplications> installed_;
  std::unique_ptr<host::IconTheme> theme_;
  std::unique_ptr<host::LinuxWorkspace> workspace_;
  std::unique_ptr<host::AppNamesAndIcons> names_;
};

Desktop& desktopOnce() {
  static Desktop desktop;
  return desktop;
}

void getAppNameInstalled(benchmark::State& state) {
  auto& names = desktopOnce().names();
  for (auto _ : state) benchmark::DoNotOptimize(names.getAppName("org.example.App150"));
}

void getAppNameRunning(benchmark::State& state) {
  auto& names = desktopOnce().names();
  for (auto _ : state) benchmark::DoNotOptimize(names.getAppName("org.example.App49"));
}

void getAppIconPng(benchmark::State& state) {
  auto& names = desktopOnce().names();
  for (auto _ : state) {
    auto png = names.getAppIcon("org.example.App150#example.com");
    if (!png) state.SkipWithError("no icon");
    benchmark::DoNotOptimize(png);
  }
}

void getAppIconSvg(benchmark::State& state) {
  auto& names = desktopOnce().names();
  for (auto _ : state) {
    auto png = names.getAppIcon("org.example.App151");
    if (!png) state.SkipWithError("no icon");
    benchmark::DoNotOptimize(png);
  }
}

BENCHMARK(getAppNameInstalled)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(getAppNameRunning)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(getAppIconPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(getAppIconSvg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
