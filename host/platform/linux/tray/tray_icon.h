// The product's picture in a panel's tray: its icon drawn at the sizes panels draw, as the
// StatusNotifierItem protocol carries pixels, and its name for panels that look icons up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillmoss::host {

struct TrayPixmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> argb;  // ARGB32, row by row, each pixel in network byte order
};

struct TrayIcon {
  std::string name;       // looked up in themePath, then in the icon theme
  std::string themePath;  // a folder laid out as an icon theme's base folder
  std::vector<TrayPixmap> pixmaps;
};

// Sizes panels commonly draw tray icons at; each is drawn from the vector image, not scaled.
inline constexpr int kTrayIconSizes[] = {16, 22, 24, 32, 48, 64};

// "<themePath>/<name>.svg" drawn at each size; sizes it cannot draw are left out. Panels look the
// name up there, unthemed (waybar), or in the hicolor theme below it (KDE Plasma).
TrayIcon trayIconFromTheme(const std::filesystem::path& themePath, const std::string& name);

}  // namespace quillmoss::host
