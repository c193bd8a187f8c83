// The running windows of whichever session the host runs in.
#pragma once

#include <filesystem>
#include <memory>

#include "core/event_loop.h"
#include "platform/linux/wayland/shell_windows.h"
#include "platform/linux/x11/running_windows.h"

namespace quillmoss::host {

// In a Wayland session, the toplevels of a compositor that lists them (wlroots), else the
// windows KWin or GNOME Shell reports (the shell is reached at the first call and again
// whenever it went away); elsewhere the X display's windows. Asked on every call. Wayland has
// no window icons, so those applications' icons come from their entries.
class SessionRunningWindows : public RunningWindows {
 public:
  // The loop and the installed applications outlive this object; kwinScript is the script the
  // host loads into KWin.
  SessionRunningWindows(EventLoop& loop, InstalledApplications& installed,
                        std::filesystem::path kwinScript)
      : loop_(loop),
        installed_(installed),
        kwinScript_(std::move(kwinScript)),
        x11_(installed, &loop) {}
  std::vector<desktop::RunningWindow> list() override;
  // Only X windows have icons of their own.
  std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& window,
                                          std::shared_ptr<const Image> otherwise) override {
    return x11_.windowIcon(window, std::move(otherwise));
  }

 private:
  EventLoop& loop_;
  InstalledApplications& installed_;
  std::filesystem::path kwinScript_;
  std::unique_ptr<ShellWindows> shell_;
  X11RunningWindows x11_;
};

}  // namespace quillmoss::host
