// Icon theme lookup on an XDG desktop: an icon name to the file that draws it best at 32
// pixels, in the current theme (and those it inherits), then hicolor, then the pixmaps folder.
#pragma once

#include <filesystem>
#include <functional>
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

  // Nothing is kept between lookups: the folders (and so the current theme), the themes'
  // index.theme files and the icon files are read afresh on each, so a theme folder made
  // after start or a change of theme is seen on the next lookup.
  explicit IconTheme(std::function<IconThemeFolders()> folders);
  explicit IconTheme(IconThemeFolders folders);

  // The nearest size at or above 32 in a theme, else its scalable icon, else its largest
  // smaller one; PNG, SVG or XPM. A name may carry one of those extensions.
  std::optional<std::filesystem::path> lookup(std::string_view iconName) const;

 private:
  std::function<IconThemeFolders()> folders_;
};

}  // namespace quillmoss::host
