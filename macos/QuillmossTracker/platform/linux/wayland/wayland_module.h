// The Wayland mechanisms as a module of their own, carried inside the tracker and loaded only
// when the environment names a Wayland display: an X11 session then never loads GLib, GIO or
// libwayland (some 2 MiB of resident memory). The module and the program are built together.
#pragma once

#include <cstdlib>

#include "platform/linux/session_candidates.h"

namespace quillmoss::tracker {

struct WaylandMechanisms {
  WorkspaceMade (*wlrToplevelWorkspace)(SessionContext&);
  WorkspaceMade (*kwinScriptWorkspace)(SessionContext&);
  WorkspaceMade (*gnomeExtensionWorkspace)(SessionContext&);
  IdleMade (*extIdleNotify)(SessionContext&);
  IdleMade (*kdeKwinIdle)(SessionContext&);
  IdleMade (*gnomeIdleMonitor)(SessionContext&);
};

// The module's one exported function.
inline constexpr char kWaylandMechanismsSymbol[] = "quillmoss_wayland_mechanisms";
using WaylandMechanismsEntry = const WaylandMechanisms* (*)();

// Whether there is a Wayland display to try; the reason every Wayland mechanism gives when not.
inline bool waylandDisplayNamed() {
  return std::getenv("WAYLAND_DISPLAY") != nullptr || std::getenv("WAYLAND_SOCKET") != nullptr;
}
inline constexpr char kNoWaylandDisplay[] = "$WAYLAND_DISPLAY is not set";

}  // namespace quillmoss::tracker
