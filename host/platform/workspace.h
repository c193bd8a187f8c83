// The workspace: running applications, installed applications and the icons of files.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/image.h"

namespace quillmoss::host {

struct RunningApplication {
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> localizedName;
  std::shared_ptr<const Image> icon;  // null when the application has none
};

struct InstalledApplication {
  std::string location;  // the path of the application bundle (on Linux: its desktop entry)
  // The bundle's file name without extension (Name.app gives Name); on Linux the desktop
  // entry's localized Name, which is what users see as the application's file.
  std::string fileNameWithoutExtension;
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  // In the platform's order.
  virtual std::vector<RunningApplication> runningApplications() = 0;
  virtual std::optional<InstalledApplication> urlForApplication(const std::string& bundleId) = 0;
  // Null when the path has no icon.
  virtual std::shared_ptr<const Image> iconForFile(const std::string& path) = 0;
};

}  // namespace quillmoss::host
