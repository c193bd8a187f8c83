// The applications with windows on the display, as the shared identity library lists them.
#pragma once

#include <vector>

#include "linux_desktop/x11_windows.h"
#include "platform/linux/installed_applications.h"

namespace quillmoss::host {

class RunningWindows {
 public:
  virtual ~RunningWindows() = default;
  // In the display's client-list order, one per application identity.
  virtual std::vector<desktop::RunningWindow> list() = 0;
};

// Asks the X server named by $DISPLAY on every call; empty without a display.
class X11RunningWindows : public RunningWindows {
 public:
  // The installed applications must outlive this object.
  explicit X11RunningWindows(InstalledApplications& installed) : installed_(installed) {}
  std::vector<desktop::RunningWindow> list() override {
    return desktop::listRunningApplications(installed_.index());
  }

 private:
  InstalledApplications& installed_;
};

}  // namespace quillmoss::host
