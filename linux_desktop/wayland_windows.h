// The applications with windows in a Wayland session, as the host lists running ones: from a
// wlroots compositor's toplevels, or from the windows a desktop shell reports.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/running_window.h"

namespace quillmoss::desktop {

// A window as a compositor or shell describes it; see waylandIdentity().
struct ShellWindow {
  std::string appId, wmClass;
  std::optional<int> pid;
  std::string title;
};

// One per application identity, in the given order, each with its first window's title
// (Wayland has no window icons).
std::vector<RunningWindow> applicationsOf(const std::vector<ShellWindow>& windows,
                                          const DesktopEntryIndex& index);

// The toplevels of the compositor named by $WAYLAND_DISPLAY in its order, as above. nullopt
// when there is no such compositor or it does not list its toplevels.
std::optional<std::vector<RunningWindow>> listWaylandApplications(const DesktopEntryIndex& index);

}  // namespace quillmoss::desktop
