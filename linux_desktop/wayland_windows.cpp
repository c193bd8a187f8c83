// Running applications from a compositor's or shell's window list; see wayland_windows.h.
#include "linux_desktop/wayland_windows.h"

#include <unordered_set>

#include "linux_desktop/identity.h"
#include "linux_desktop/wayland_display.h"

namespace quillmoss::desktop {

std::vector<RunningWindow> applicationsOf(const std::vector<ShellWindow>& windows,
                                          const DesktopEntryIndex& index) {
  std::vector<RunningWindow> applications;
  std::unordered_set<std::string> seen;
  for (const ShellWindow& shown : windows) {
    auto identity = waylandIdentity(shown.appId, shown.wmClass, shown.pid, index);
    if (!seen.insert(identity.value_or("")).second) continue;
    RunningWindow window;
    window.identity = identity.value_or("");
    window.title = shown.title;
    applications.push_back(std::move(window));
  }
  return applications;
}

std::optional<std::vector<RunningWindow>> listWaylandApplications(const DesktopEntryIndex& index) {
  auto display = WaylandDisplay::connect();
  if (!display || !display->watchToplevels({})) return std::nullopt;
  std::vector<ShellWindow> windows;
  for (const WaylandToplevel& toplevel : display->toplevels()) {
    windows.push_back({toplevel.appId, {}, std::nullopt, toplevel.title});
  }
  return applicationsOf(windows, index);
}

}  // namespace quillmoss::desktop
