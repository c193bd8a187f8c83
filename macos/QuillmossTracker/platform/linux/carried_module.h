// What the tracker needs GLib, GIO and libwayland for (the Wayland mechanisms and the browser
// pages on the accessibility bus) as a module of its own, carried inside the program and loaded
// only when needed: an X11 session without a browser in front never loads them (some 2 MiB of
// resident memory). The module and the program are built together.
#pragma once

#include <cstdlib>
#include <memory>

#include "core/event_loop.h"
#include "platform/linux/front_window.h"
#include "platform/linux/session_candidates.h"
#include "platform/tab_addresses.h"

namespace quillmoss::tracker {

struct CarriedMechanisms {
  WorkspaceMade (*wlrToplevelWorkspace)(SessionContext&);
  WorkspaceMade (*kwinScriptWorkspace)(SessionContext&);
  WorkspaceMade (*gnomeExtensionWorkspace)(SessionContext&);
  IdleMade (*extIdleNotify)(SessionContext&);
  IdleMade (*kdeKwinIdle)(SessionContext&);
  IdleMade (*gnomeIdleMonitor)(SessionContext&);
  // Browser pages from the accessibility bus, on a GLib context of their own (made now, and
  // pushed as the thread's default while the source lives).
  std::unique_ptr<TabAddresses> (*browserTabs)(EventLoop& loop, FrontWindowQuery frontWindow);
};

// The module's one exported function.
inline constexpr char kCarriedMechanismsSymbol[] = "quillmoss_carried_mechanisms";
using CarriedMechanismsEntry = const CarriedMechanisms* (*)();

// Whether there is a Wayland display to try; the reason every Wayland mechanism gives when not.
inline bool waylandDisplayNamed() {
  return std::getenv("WAYLAND_DISPLAY") != nullptr || std::getenv("WAYLAND_SOCKET") != nullptr;
}
inline constexpr char kNoWaylandDisplay[] = "$WAYLAND_DISPLAY is not set";

// The tracker's browser tabs: which applications are browsers is known at once; the pages come
// from the module, loaded at the first question unless prepare() loaded it. Without the module
// a browser counts as the browser alone.
class CarriedBrowserTabs final : public TabAddresses {
 public:
  explicit CarriedBrowserTabs(EventLoop& loop) : loop_(loop) {}

  // Makes the pages now: in a Wayland session, whose own GLib context must come after theirs.
  void prepare();
  // What the session knows of the window in front; set once the session is connected.
  void setFrontWindow(FrontWindowQuery frontWindow) { frontWindow_ = std::move(frontWindow); }

  bool isBrowser(const std::string& bundleId) override;
  void ask(const std::string& bundleId, Done done) override;

 private:
  EventLoop& loop_;
  FrontWindowQuery frontWindow_;
  std::unique_ptr<TabAddresses> pages_;
  bool tried_ = false;
};

}  // namespace quillmoss::tracker
