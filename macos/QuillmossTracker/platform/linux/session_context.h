// What the candidates of one start-up share: the loop and the display connections the chosen
// ports use. Two ports may share one connection (the workspace and the idle time).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/error.h"
#include "core/event_loop.h"
#include "linux_desktop/candidates.h"
#include "linux_desktop/client_window.h"
#include "linux_desktop/desktop_entries.h"
#include "platform/frontmost_app.h"
#include "platform/linux/front_window.h"

namespace quillmoss::tracker {

class WaylandLink;  // wayland/wayland_link.h
class X11Link;      // x11/x11_link.h

// The workspace of a Linux desktop session, which can end under the tracker.
class SessionWorkspace : public Workspace {
 public:
  // Called once when the session ends (its display connection is lost).
  virtual void onSessionLost(std::function<void()> handler) = 0;
  // What the session knows of the window in front: by default nothing.
  virtual void frontWindow(std::function<void(const FrontWindow&)> done) { done({}); }
};

// A connection opened by the first candidate that asks for it and kept while a chosen port
// holds it. Its failure to open is remembered, so every candidate that asks gives that reason.
template <typename Link>
class SharedLink {
 public:
  template <typename Open>
  Expected<std::shared_ptr<Link>> get(bool settled, Open open) {
    if (auto link = link_.lock()) return link;
    if (failure_) return *failure_;
    // The idle time comes from the display server the workspace is watched on.
    if (settled) return desktop::cannotServe("not the display the workspace is watched on");
    Expected<std::shared_ptr<Link>> opened = open();
    if (!opened) {
      failure_ = opened.error();
      return opened;
    }
    pin_ = *opened;
    link_ = pin_;
    return opened;
  }
  void unpin() { pin_.reset(); }

 private:
  std::weak_ptr<Link> link_;
  std::shared_ptr<Link> pin_;  // until the workspace is chosen
  std::optional<Error> failure_;
};

// The client windows of the X display beside a Wayland compositor (Xwayland), asked when the
// compositor's window in front names no entry.
using XwaylandLookup =
    std::function<std::vector<desktop::ClientWindow>(const desktop::DesktopEntryIndex&)>;

struct SessionContext {
  explicit SessionContext(EventLoop& loop, XwaylandLookup xwayland = {})
      : loop(loop), xwayland(std::move(xwayland)) {}

  EventLoop& loop;
  XwaylandLookup xwayland;
  SharedLink<WaylandLink> wayland;
  SharedLink<X11Link> x11;
  bool settled = false;

  // The workspace is chosen: connections it does not use close, and no other opens.
  void settle() {
    settled = true;
    wayland.unpin();
    x11.unpin();
  }
};

}  // namespace quillmoss::tracker
