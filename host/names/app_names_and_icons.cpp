// Names: running application first, installed second. Icons: installed first, running second.
#include "names/app_names_and_icons.h"

#include <memory>

namespace quillmoss::host {

std::string iconBaseIdentifier(const std::string& usageKey) {
  std::size_t start = 0;
  while (start <= usageKey.size()) {
    std::size_t end = usageKey.find('#', start);
    if (end == std::string::npos) end = usageKey.size();
    if (end > start) return usageKey.substr(start, end - start);
    start = end + 1;
  }
  return std::string();
}

std::optional<std::string> AppNamesAndIcons::getAppName(const std::string& bundleId) {
  if (std::size_t sign = bundleId.find('#'); sign != std::string::npos) {
    return bundleId.substr(sign + 1);
  }
  for (const RunningApplication& running : workspace_.runningApplications()) {
    if (running.bundleIdentifier && *running.bundleIdentifier == bundleId) {
      return running.localizedName;
    }
  }
  if (auto installed = workspace_.urlForApplication(bundleId)) {
    return installed->fileNameWithoutExtension;
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> AppNamesAndIcons::getAppIcon(const std::string& bundleId) {
  const std::string base = iconBaseIdentifier(bundleId);
  std::shared_ptr<const Image> icon;
  if (auto installed = workspace_.urlForApplication(base)) {
    icon = workspace_.iconForFile(installed->location);
  } else {
    bool found = false;
    for (RunningApplication& running : workspace_.runningApplications()) {
      if (running.bundleIdentifier && *running.bundleIdentifier == base) {
        icon = std::move(running.icon);
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
  if (!icon) return std::nullopt;
  auto png = icon->pngDrawnAtSize(kAppIconSide, kAppIconSide);
  if (!png || png->empty()) return std::nullopt;
  return png;
}

}  // namespace quillmoss::host
