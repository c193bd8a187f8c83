// Whether the screen is locked: logind's LockedHint for our session on the system bus, or an
// active screen saver on the session bus (org.freedesktop.ScreenSaver, org.gnome.ScreenSaver).
#pragma once

#include <gio/gio.h>

#include <functional>
#include <vector>

#include "linux_desktop/dbus.h"

namespace quillmoss::tracker {

// Its signal subscriptions carry `this`; they end with it, before the buses close.
class ScreenLock {
 public:
  // Either bus may be null (not reachable); both must outlive this object. The current state is
  // read at once; `changed` runs on the thread-default main context with every change after.
  ScreenLock(GDBusConnection* session, GDBusConnection* system, std::function<void(bool)> changed);
  ScreenLock(const ScreenLock&) = delete;
  ScreenLock& operator=(const ScreenLock&) = delete;

  bool locked() const { return logindLocked_ || freedesktopActive_ || gnomeActive_; }

 private:
  static void onActiveChanged(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                              const gchar*, GVariant* parameters, gpointer self);
  static void onSessionProperties(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant* parameters, gpointer self);
  void update(bool& flag, bool value);

  std::function<void(bool)> changed_;
  bool logindLocked_ = false, freedesktopActive_ = false, gnomeActive_ = false;
  std::vector<desktop::SignalSubscription> subscriptions_;
};

}  // namespace quillmoss::tracker
