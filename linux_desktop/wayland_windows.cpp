// Running applications from a compositor's toplevel list; see wayland_windows.h.
#include "linux_desktop/wayland_windows.h"

#include <unordered_set>

#include "linux_desktop/identity.h"
#include "linux_desktop/wayland_display.h"

namespace quillmoss::desktop {

std::optional<std::vector<RunningWindow>> listWaylandApplications(const DesktopEntryIndex& index) {
  auto display = WaylandDisplay::connect();
  if (!display || !display->watchToplevels({})) return std::nullopt;
  std::vector<RunningWindow> windows;
  std::unordered_set<std::string> seen;
  for (const WaylandToplevel& toplevel : display->toplevels()) {
    auto identity = waylandIdentity(toplevel.appId, {}, std::nullopt, index);
    if (!seen.insert(identity.value_or("")).second) continue;
    RunningWindow window;
    window.identity = identity.value_or("");
    window.title = toplevel.title;
    windows.push_back(std::move(window));
  }
  return windows;
}

}  // namespace quillmoss::desktop
