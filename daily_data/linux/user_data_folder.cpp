// The user's base folders (data, config, cache) by the XDG base directory rule.
#include <cstdlib>

#include "daily_data/daily_data.h"
#include "posix/home_folder.h"

namespace quillmoss::daily {

std::optional<std::filesystem::path> userFolder(const char* variable,
                                                const std::filesystem::path& inHome) {
  if (const char* xdg = std::getenv(variable); xdg != nullptr && xdg[0] == '/') {
    return std::filesystem::path(xdg);
  }
  if (auto home = posix::homeFolder()) return *home / inHome;
  return std::nullopt;
}

std::optional<std::filesystem::path> userDataFolder() {
  return userFolder("XDG_DATA_HOME", ".local/share");
}

}  // namespace quillmoss::daily
