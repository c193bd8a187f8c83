// The running windows of whichever session the host runs in.
#pragma once

#include "linux_desktop/wayland_windows.h"
#include "platform/linux/x11/running_windows.h"

namespace quillmoss::host {

// The toplevels of the Wayland compositor named by $WAYLAND_DISPLAY when it lists them
// (wlroots compositors), else the X display's windows, asked on every call. Wayland has no
// window icons, so those applications' icons come from their entries.
class SessionRunningWindows : public RunningWindows {
 public:
  // The installed applications must outlive this object.
  explicit SessionRunningWindows(InstalledApplications& installed) : installed_(installed) {}
  std::vector<desktop::RunningWindow> list() override {
    if (auto windows = desktop::listWaylandApplications(installed_.index())) return *windows;
    return desktop::listRunningApplications(installed_.index());
  }

 private:
  InstalledApplications& installed_;
};

}  // namespace quillmoss::host
