// Display names and 32 x 32 PNG icons of usage keys, looked up afresh in the workspace on
// every call (main thread only).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/app_catalog.h"
#include "platform/workspace.h"

namespace quillmoss::host {

inline constexpr int kAppIconSide = 32;

// The first non-empty piece of the key split at every "#"; empty when there is none.
std::string iconBaseIdentifier(const std::string& usageKey);

class AppNamesAndIcons : public AppCatalog {
 public:
  // The workspace must outlive this object.
  explicit AppNamesAndIcons(Workspace& workspace) : workspace_(workspace) {}

  // The text after the first "#"; else the running application's localized name; else the
  // installed application's file name without extension; else nullopt.
  std::optional<std::string> getAppName(const std::string& bundleId);
  // The icon of the installed application, else of the running one, stretched to 32 x 32 and
  // encoded as PNG; nullopt on any failure.
  std::optional<std::vector<std::uint8_t>> getAppIcon(const std::string& bundleId);

  std::optional<std::string> appName(const std::string& usageKey) override {
    return getAppName(usageKey);
  }
  std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& usageKey) override {
    return getAppIcon(usageKey);
  }

 private:
  Workspace& workspace_;
};

}  // namespace quillmoss::host
