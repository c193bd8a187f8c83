// The mechanisms that can serve the tracker's ports in a Linux session, one file each under
// x11/ or wayland/; linux_session.cpp orders them.
#pragma once

#include <memory>

#include "core/error.h"
#include "platform/idle.h"
#include "platform/linux/session_context.h"

namespace quillmoss::tracker {

using WorkspaceMade = Expected<std::unique_ptr<SessionWorkspace>>;
using IdleMade = Expected<std::unique_ptr<IdleSource>>;

// The window in front.
WorkspaceMade wlrToplevelWorkspace(SessionContext& context);  // wayland/wlr_workspace.cpp
WorkspaceMade kwinScriptWorkspace(SessionContext& context);   // wayland/shell_workspace.cpp
WorkspaceMade gnomeExtensionWorkspace(SessionContext& context);
WorkspaceMade x11Workspace(SessionContext& context);  // x11/x11_workspace.cpp

// The input idle time.
IdleMade extIdleNotify(SessionContext& context);       // wayland/ext_idle.cpp
IdleMade kdeKwinIdle(SessionContext& context);         // wayland/kde_idle.cpp
IdleMade gnomeIdleMonitor(SessionContext& context);    // wayland/gnome_idle.cpp
IdleMade x11ScreenSaverIdle(SessionContext& context);  // x11/x11_idle.cpp

// The Xwayland windows of a Wayland session, over a connection of its own each time.
std::vector<desktop::ClientWindow> xwaylandClientWindows(  // x11/xwayland_windows.cpp
    const desktop::DesktopEntryIndex& index);

}  // namespace quillmoss::tracker
