// The tracker's desktop session in a Wayland session: the window in front from the compositor
// (zwlr_foreign_toplevel_manager_v1), from KWin (our script) or from GNOME Shell (our
// extension); the idle time from ext-idle-notify-v1, org_kde_kwin_idle or GNOME's idle
// monitor; the locked screen from logind and the screen savers on D-Bus.
#pragma once

#include <memory>
#include <string>

#include "core/event_loop.h"
#include "platform/desktop.h"

namespace quillmoss::tracker {

// nullptr when there is no Wayland display or it has none of the three mechanisms; then
// `missing` says what was looked for.
std::unique_ptr<DesktopSession> connectWaylandSession(EventLoop& loop, std::string& missing);

}  // namespace quillmoss::tracker
