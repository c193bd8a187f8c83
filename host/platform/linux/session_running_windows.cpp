// The session's running windows; see session_running_windows.h.
#include "platform/linux/session_running_windows.h"

#include <cstdlib>

namespace quillmoss::host {

std::vector<desktop::RunningWindow> SessionRunningWindows::list() {
  const desktop::DesktopEntryIndex& index = installed_.index();
  if (auto windows = desktop::listWaylandApplications(index)) return *windows;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland != nullptr && *wayland != '\0') {
    std::optional<std::vector<desktop::ShellWindow>> windows;
    if (shell_) windows = shell_->windows();
    if (!windows) {
      shell_.reset();  // its bus name and GLib context go before another takes them
      shell_ = connectShellWindows(loop_, kwinScript_);
      if (shell_) windows = shell_->windows();
    }
    if (windows) return desktop::applicationsOf(*windows, index);
  }
  return x11_.list();
}

}  // namespace quillmoss::host
