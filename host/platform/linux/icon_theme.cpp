// index.theme parsing and the size preference for icons drawn at 32 pixels.
#include "platform/linux/icon_theme.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>
#include <tuple>

#include "linux_desktop/desktop_entries.h"

namespace quillmoss::host {

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtensions[] = {".png", ".svg", ".xpm"};
constexpr std::size_t kMaxInheritDepth = 8;

using IniGroups = std::map<std::string, std::map<std::string, std::string>>;

std::string trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return std::string();
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> splitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    if (std::string item = trim(text.substr(start, end - start)); !item.empty()) {
      items.push_back(std::move(item));
    }
    start = end + 1;
  }
  return items;
}

std::optional<IniGroups> readIni(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  IniGroups groups;
  std::string line;
  std::string group;
  while (std::getline(in, line)) {
    std::string text = trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';') continue;
    if (text.front() == '[' && text.back() == ']') {
      group = text.substr(1, text.size() - 2);
      continue;
    }
    const auto equals = text.find('=');
    if (equals == std::string::npos) continue;
    groups[group][trim(std::string_view(text).substr(0, equals))] =
        trim(std::string_view(text).substr(equals + 1));
  }
  return groups;
}

int intValue(const std::map<std::string, std::string>& group, const std::string& key,
             int fallback) {
  auto found = group.find(key);
  if (found == group.end()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(found->second.c_str(), &end, 10);
  if (end == found->second.c_str() || value < 0 || value > 65536) return fallback;
  return static_cast<int>(value);
}

bool isDirectory(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

std::optional<fs::path> existingIcon(const fs::path& folder, std::string_view name) {
  for (const char* extension : kExtensions) {
    fs::path file = folder / (std::string(name) + extension);
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) return file;
  }
  return std::nullopt;
}

// The first index.theme of the theme among the base folders.
std::optional<IniGroups> themeIndex(const std::vector<fs::path>& baseDirs,
                                    const std::string& theme) {
  for (const fs::path& base : baseDirs) {
    if (auto groups = readIni(base / theme / "index.theme")) return groups;
  }
  return std::nullopt;
}

// A theme's size folders in order of preference: raster sizes from 32 upwards, then scalable,
// then raster sizes from 31 downwards. High-density copies (Scale above 1) are left out.
std::vector<std::string> preferredSubdirs(const IniGroups& index) {
  struct Ranked {
    int rank;
    int distance;
    std::size_t order;
    std::string subdir;
  };
  std::vector<Ranked> ranked;
  auto theme = index.find("Icon Theme");
  if (theme == index.end()) return {};
  auto directories = theme->second.find("Directories");
  if (directories == theme->second.end()) return {};
  const std::vector<std::string> subdirs = splitList(directories->second);
  for (std::size_t i = 0; i < subdirs.size(); ++i) {
    auto group = index.find(subdirs[i]);
    if (group == index.end()) continue;
    if (intValue(group->second, "Scale", 1) != 1) continue;
    const int size = intValue(group->second, "Size", 0);
    auto type = group->second.find("Type");
    const bool scalable = type != group->second.end() && type->second == "Scalable";
    if (scalable) {
      ranked.push_back({1, 0, i, subdirs[i]});
    } else if (size >= IconTheme::kWantedSize) {
      ranked.push_back({0, size - IconTheme::kWantedSize, i, subdirs[i]});
    } else if (size > 0) {
      ranked.push_back({2, IconTheme::kWantedSize - size, i, subdirs[i]});
    }
  }
  std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
    return std::tie(a.rank, a.distance, a.order) < std::tie(b.rank, b.distance, b.order);
  });
  std::vector<std::string> ordered;
  for (Ranked& entry : ranked) ordered.push_back(std::move(entry.subdir));
  return ordered;
}

std::optional<std::string> gtkIconThemeName(const fs::path& settingsIni) {
  auto groups = readIni(settingsIni);
  if (!groups) return std::nullopt;
  auto settings = groups->find("Settings");
  if (settings == groups->end()) return std::nullopt;
  auto name = settings->second.find("gtk-icon-theme-name");
  if (name == settings->second.end() || name->second.empty()) return std::nullopt;
  std::string value = name->second;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

IconThemeFolders iconThemeFoldersFromEnvironment() {
  IconThemeFolders folders;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') folders.baseDirs.push_back(fs::path(home) / ".icons");
  for (const fs::path& dataDir : desktop::xdgDataDirs()) {
    folders.baseDirs.push_back(dataDir / "icons");
  }
  folders.pixmapDirs.push_back("/usr/share/pixmaps");

  fs::path configHome;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    configHome = config;
  } else if (home && home[0] == '/') {
    configHome = fs::path(home) / ".config";
  }
  std::optional<std::string> theme;
  if (!configHome.empty()) theme = gtkIconThemeName(configHome / "gtk-3.0" / "settings.ini");
  if (!theme) theme = gtkIconThemeName("/etc/gtk-3.0/settings.ini");
  folders.currentTheme = theme.value_or("Adwaita");
  return folders;
}

namespace {

// One size folder of one theme, present under one base folder, in order of preference.
std::vector<fs::path> candidateFolders(const IconThemeFolders& folders) {
  std::vector<fs::path> candidates;
  // The current theme, the themes it inherits (breadth first), and hicolor last.
  std::vector<std::string> themes;
  std::set<std::string> seen;
  std::vector<std::string> pending;
  if (!folders.currentTheme.empty()) pending.push_back(folders.currentTheme);
  std::map<std::string, IniGroups> indexes;
  for (std::size_t depth = 0; depth < kMaxInheritDepth && !pending.empty(); ++depth) {
    std::vector<std::string> next;
    for (const std::string& theme : pending) {
      if (theme == "hicolor" || !seen.insert(theme).second) continue;
      auto index = themeIndex(folders.baseDirs, theme);
      if (!index) continue;
      themes.push_back(theme);
      if (auto group = index->find("Icon Theme"); group != index->end()) {
        if (auto inherits = group->second.find("Inherits"); inherits != group->second.end()) {
          for (std::string& parent : splitList(inherits->second)) next.push_back(parent);
        }
      }
      indexes.emplace(theme, std::move(*index));
    }
    pending = std::move(next);
  }
  if (auto index = themeIndex(folders.baseDirs, "hicolor")) {
    themes.push_back("hicolor");
    indexes.emplace("hicolor", std::move(*index));
  }
  // Only folders that exist are kept, so a lookup touches few paths.
  for (const std::string& theme : themes) {
    for (const std::string& subdir : preferredSubdirs(indexes.at(theme))) {
      for (const fs::path& base : folders.baseDirs) {
        fs::path folder = base / theme / subdir;
        if (isDirectory(folder)) candidates.push_back(std::move(folder));
      }
    }
  }
  return candidates;
}

}  // namespace

IconTheme::IconTheme(std::function<IconThemeFolders()> folders) : folders_(std::move(folders)) {}

IconTheme::IconTheme(IconThemeFolders folders)
    : folders_([folders = std::move(folders)] { return folders; }) {}

std::optional<fs::path> IconTheme::lookup(std::string_view iconName) const {
  std::string name(iconName);
  for (const char* extension : kExtensions) {
    const std::string_view ext(extension);
    if (name.size() > ext.size() && name.ends_with(ext)) {
      name.resize(name.size() - ext.size());
      break;
    }
  }
  // A name is one path component; anything else could leave the theme folders.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    return std::nullopt;
  }
  const IconThemeFolders folders = folders_();
  for (const fs::path& folder : candidateFolders(folders)) {
    if (auto file = existingIcon(folder, name)) return file;
  }
  for (const fs::path& folder : folders.pixmapDirs) {
    if (auto file = existingIcon(folder, name)) return file;
  }
  return std::nullopt;
}

}  // namespace quillmoss::host
