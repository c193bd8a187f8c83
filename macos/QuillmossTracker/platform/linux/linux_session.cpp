// The tracker's mechanisms in order; see linux_session.h. A new one is a file under x11/ or
// wayland/ and a row here.
#include "platform/linux/linux_session.h"

#include <array>

#include "platform/linux/session_candidates.h"

namespace quillmoss::tracker {
namespace {

using desktop::Candidate;

// Nothing tells the idle time: the user counts as present.
class NoIdle final : public IdleSource {
 public:
  double secondsSinceLastInput() override { return 0.0; }
};

IdleMade noIdle(SessionContext&) {
  return std::unique_ptr<IdleSource>(std::make_unique<NoIdle>());
}

// A Wayland display with a mechanism we speak comes first: in such a session the X display
// (Xwayland) sees only its own clients.
constexpr std::array<Candidate<SessionWorkspace, SessionContext>, 4> kWorkspaces{{
    {"wlr-foreign-toplevel", wlrToplevelWorkspace},
    {"KWin script", kwinScriptWorkspace},
    {"GNOME Shell extension", gnomeExtensionWorkspace},
    {"X11", x11Workspace},
}};

// Only mechanisms of the display server the workspace is watched on can serve.
constexpr std::array<Candidate<IdleSource, SessionContext>, 5> kIdleSources{{
    {"ext-idle-notify-v1", extIdleNotify},
    {"org_kde_kwin_idle", kdeKwinIdle},
    {"GNOME idle monitor", gnomeIdleMonitor},
    {"X11 MIT-SCREEN-SAVER", x11ScreenSaverIdle},
    {"none", noIdle},
}};

}  // namespace

Expected<LinuxSession> connectLinuxSession(EventLoop& loop) {
  SessionContext context(loop, xwaylandClientWindows);
  auto workspace = desktop::firstServing(kWorkspaces, context, "no desktop session to watch");
  if (!workspace) return workspace.error();
  context.settle();
  auto idle = desktop::firstServing(kIdleSources, context, "no idle time");
  if (!idle) return idle.error();
  return LinuxSession{std::move(*workspace), std::move(*idle)};
}

}  // namespace quillmoss::tracker
