// The mechanisms that can list the session's running windows, one file each under x11/ or
// wayland/; session_running_windows.cpp orders them.
#pragma once

#include <gio/gio.h>

#include <filesystem>
#include <memory>

#include "core/error.h"
#include "core/event_loop.h"
#include "linux_desktop/dbus.h"
#include "platform/linux/installed_applications.h"
#include "platform/linux/running_windows.h"

namespace quillmoss::host {

// What the candidates share; outlives every port they make.
class WindowsContext {
 public:
  // The loop and the installed applications outlive the context; kwinScript is the script
  // the host loads into KWin.
  WindowsContext(EventLoop& loop, InstalledApplications& installed,
                 std::filesystem::path kwinScript)
      : loop(loop), installed(installed), kwinScript(std::move(kwinScript)) {}

  EventLoop& loop;
  InstalledApplications& installed;
  const std::filesystem::path kwinScript;

  // A session bus connection of our own for asking who is on the bus (opened again after it
  // closed); null when there is no session bus.
  GDBusConnection* sessionBus();
  // The X display of a Wayland session, made on first use and kept.
  XwaylandDisplay& xwayland();

 private:
  desktop::BusPtr bus_;
  std::unique_ptr<XwaylandDisplay> xwayland_;
};

using WindowsMade = Expected<std::unique_ptr<RunningWindows>>;

WindowsMade wlrToplevelWindows(WindowsContext& context);  // wayland/wlr_windows.cpp
WindowsMade kwinScriptWindows(WindowsContext& context);   // wayland/shell_windows.cpp
WindowsMade gnomeExtensionWindows(WindowsContext& context);
WindowsMade x11Windows(WindowsContext& context);  // x11/running_windows.cpp
std::unique_ptr<XwaylandDisplay> xwaylandDisplay(WindowsContext& context);

}  // namespace quillmoss::host
