// Day strings, the data folder and the day files' names.
#include <cmath>
#include <cstdio>

#include "daily_data/daily_data.h"

#include "daily_data/local_zone.h"

namespace quillmoss::daily {
namespace {

// Instants outside years 1..9999 cannot be written as four digits; they are clamped.
constexpr double kFirstInstant = -62135596800.0;  // 0001-01-01T00:00:00Z
constexpr double kLastInstant = 253402214400.0;   // 9999-12-31T00:00:00Z

}  // namespace

std::string localDayString(double instant) {
  if (std::isnan(instant)) instant = 0.0;
  instant = std::fmin(std::fmax(instant, kFirstInstant), kLastInstant);
  auto seconds = static_cast<std::time_t>(std::floor(instant));
  std::tm local{};
  if (!localTimeNow(seconds, local)) return "1970-01-01";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  return text;
}

bool isDayString(std::string_view text) {
  if (text.size() != 10) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool ok = (i == 4 || i == 7) ? c == '-' : (c >= '0' && c <= '9');
    if (!ok) return false;
  }
  return true;
}

std::filesystem::path appFolderIn(const std::filesystem::path& userDataFolder) {
  return userDataFolder / kAppFolderName;
}

std::filesystem::path dataDirectoryIn(const std::filesystem::path& userDataFolder) {
  return appFolderIn(userDataFolder) / "usage";
}

std::optional<std::filesystem::path> dataDirectory() {
  auto folder = userDataFolder();
  if (!folder) return std::nullopt;
  return dataDirectoryIn(*folder);
}

std::string fileName(FileKind kind, std::string_view day) {
  std::string name;
  switch (kind) {
    case FileKind::Usage:
      name = "usage_";
      break;
    case FileKind::Activity:
      name = "activity_";
      break;
    case FileKind::Segments:
      name = "segments_";
      break;
  }
  name.append(day);
  name.append(".json");
  return name;
}

}  // namespace quillmoss::daily
