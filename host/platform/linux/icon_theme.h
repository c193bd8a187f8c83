// Icon theme lookup on an XDG desktop: an icon name to the file that draws it best at 32
// pixels, in the current theme (and those it inherits), then hicolor, then the pixmaps folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmoss::host {

struct IconThemeFolders {
  std::vector<std::filesystem::path> baseDirs;  // each holds one folder per theme
  std::vector<std::filesystem::path> pixmapDirs;
  std::string currentTheme;  // empty: hicolor only
};

// ~/.icons, $XDG_DATA_HOME/icons, $XDG_DATA_DIRS/icons; /usr/share/pixmaps; the theme named by
// gtk-icon-theme-name in GTK's settings.ini (user, then system), else Adwaita.
IconThemeFolders iconThemeFoldersFromEnvironment();

class IconTheme {
 public:
  static constexpr int kWantedSize = 32;

  // Reads the themes' index.theme files once; the icon files themselves are looked up afresh.
  explicit IconTheme(IconThemeFolders folders);

  // The nearest size at or above 32 in a theme, else its scalable icon, else its largest
  // smaller one; PNG, SVG or XPM. A name may carry one of those extensions.
  std::optional<std::filesystem::path> lookup(std::string_view iconName) const;

 private:
  // One size folder of one theme, present under one base folder, in order of preference.
  std::vector<std::filesystem::path> candidateFolders_;
  std::vector<std::filesystem::path> pixmapDirs_;
};

}  // namespace quillmoss::host
