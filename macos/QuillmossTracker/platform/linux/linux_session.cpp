// Picks the desktop session at start-up: a Wayland display with a mechanism we speak, else the
// X display.
#include "platform/desktop.h"
#include "platform/linux/wayland/wayland_session.h"
#include "platform/linux/x11/x11_session.h"

namespace quillmoss::tracker {

Expected<std::unique_ptr<DesktopSession>> connectDesktopSession(EventLoop& loop) {
  std::string wayland;
  if (auto session = connectWaylandSession(loop, wayland)) return session;
  if (auto session = connectX11Session(loop)) return session;
  return Error{
      "com.velbrook.quillmoss.desktop", 1,
      "no desktop session to watch: " + wayland + ", and no X display ($DISPLAY) can be reached"};
}

}  // namespace quillmoss::tracker
