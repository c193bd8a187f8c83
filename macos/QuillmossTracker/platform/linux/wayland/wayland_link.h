// The tracker's connection to a Wayland session, shared by the ports that watch it: the display
// named by $WAYLAND_DISPLAY, read on the loop, and the session and system buses on a GLib
// context the loop runs.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>

#include "core/error.h"
#include "core/event_loop.h"
#include "linux_desktop/dbus.h"
#include "linux_desktop/glib_context.h"
#include "linux_desktop/wayland_display.h"
#include "platform/linux/session_context.h"

namespace quillmoss::tracker {

// The loop's watcher and the bus's "closed" handler capture `this`; the destructor ends them
// before the buses and the display close.
class WaylandLink {
 public:
  // The context's link, connected by the first candidate that asks.
  static Expected<std::shared_ptr<WaylandLink>> of(SessionContext& context);

  WaylandLink(EventLoop& loop, std::unique_ptr<desktop::WaylandDisplay> display, std::string name);
  ~WaylandLink();
  WaylandLink(const WaylandLink&) = delete;
  WaylandLink& operator=(const WaylandLink&) = delete;

  EventLoop& loop() const { return loop_; }
  desktop::WaylandDisplay& display() const { return *display_; }
  desktop::GlibContext& glib() { return glib_; }
  // Null when that bus cannot be reached.
  GDBusConnection* sessionBus() const { return session_.get(); }
  GDBusConnection* systemBus() const { return system_.get(); }
  // "the Wayland display NAME", for reasons.
  std::string described() const { return "the Wayland display " + name_; }

  // Sends what the ports asked for and picks up their new D-Bus subscriptions; a reason when
  // the compositor no longer answers.
  Status flush();
  // The session also ends when the session bus closes (a shell reports the window in front).
  void endWithSessionBus();
  // Runs once when the session ends; set by the workspace.
  void onLost(std::function<void()> handler) { lostHandler_ = std::move(handler); }
  bool lost() const { return lost_; }

 private:
  static void onBusClosed(GDBusConnection*, gboolean, GError*, gpointer data) {
    static_cast<WaylandLink*>(data)->sessionLost();
  }
  void sessionLost();

  EventLoop& loop_;
  std::unique_ptr<desktop::WaylandDisplay> display_;
  std::string name_;
  desktop::GlibContext glib_;  // before the buses: their subscriptions deliver to it
  desktop::BusPtr session_, system_;
  gulong closedHandler_ = 0;
  bool watching_ = false, lost_ = false;
  std::function<void()> lostHandler_;
};

}  // namespace quillmoss::tracker
