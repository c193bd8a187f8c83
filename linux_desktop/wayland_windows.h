// The applications with windows on a wlroots compositor, as the host lists running ones.
#pragma once

#include <optional>
#include <vector>

#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/x11_windows.h"

namespace quillmoss::desktop {

// The toplevels of the compositor named by $WAYLAND_DISPLAY in its order, one per application
// identity, each with its first window's title (Wayland has no window icons). nullopt when there
// is no such compositor or it does not list its toplevels.
std::optional<std::vector<RunningWindow>> listWaylandApplications(const DesktopEntryIndex& index);

}  // namespace quillmoss::desktop
