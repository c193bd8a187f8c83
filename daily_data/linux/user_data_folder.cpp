// The user's data folder by the XDG base directory rule.
#include <cstdlib>

#include "daily_data/daily_data.h"
#include "posix/home_folder.h"

namespace quillmoss::daily {

std::optional<std::filesystem::path> userDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    return std::filesystem::path(xdg);
  }
  if (auto home = posix::homeFolder()) return *home / ".local" / "share";
  return std::nullopt;
}

}  // namespace quillmoss::daily
