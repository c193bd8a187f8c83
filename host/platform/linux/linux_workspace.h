// The workspace on an XDG desktop: running applications from the session, installed ones
// from desktop entries, icons from windows, icon themes and image files.
#pragma once

#include "platform/linux/icon_theme.h"
#include "platform/linux/installed_applications.h"
#include "platform/linux/running_windows.h"
#include "platform/workspace.h"

namespace quillmoss::host {

class LinuxWorkspace : public Workspace {
 public:
  // All three must outlive the workspace.
  LinuxWorkspace(RunningWindows& running, InstalledApplications& installed,
                 const IconTheme& iconTheme)
      : running_(running), installed_(installed), iconTheme_(iconTheme) {}

  // Identity as the bundle identifier; the entry's localized Name, else the window's title;
  // the window's own icon, else the entry's.
  std::vector<RunningApplication> runningApplications() override;
  // The desktop entry with that ID (exact, else ignoring case); its file is the location and
  // its localized Name (else the file's stem) the name.
  std::optional<InstalledApplication> urlForApplication(const std::string& bundleId) override;
  // For a desktop entry, the image its Icon key names; null for anything else.
  std::shared_ptr<const Image> iconForFile(const std::string& path) override;

  // The image an entry's Icon value names: an absolute file, or a name in the icon theme.
  std::shared_ptr<const Image> entryIcon(const std::string& icon) const;

 private:
  RunningWindows& running_;
  InstalledApplications& installed_;
  const IconTheme& iconTheme_;
};

}  // namespace quillmoss::host
