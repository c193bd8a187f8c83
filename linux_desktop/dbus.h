// The few D-Bus operations both programs need, over GLib's GDBus. GDBus is the project's one
// D-Bus library: GLib is already linked (gdk-pixbuf needs it), its main context can be run by
// our loop (glib_context.h), and its GVariant checks every message's types for us; sd-bus
// would be a second dependency doing the same.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/error.h"

namespace quillmoss::desktop {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct GVariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
struct BusClose {
  void operator()(GDBusConnection* bus) const {
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
  }
};
using BusPtr = std::unique_ptr<GDBusConnection, BusClose>;
using VariantPtr = std::unique_ptr<GVariant, GVariantUnref>;

inline constexpr char kDBusErrorDomain[] = "org.freedesktop.DBus";
// Calls at start-up and the idle-time query wait at most this long for a reply.
inline constexpr int kDBusCallTimeoutMs = 1000;

// A private connection to the session or system bus, made within kOpenSeconds (timed_open.h);
// closed when the pointer goes. Without a session bus address in the environment or a bus
// socket in the runtime folder, GLib would start a bus of its own (dbus-launch) that outlives
// us: then there is no session bus.
Expected<BusPtr> openBus(GBusType type);
// The address openBus connects to, for a connection made without waiting.
Expected<std::string> busAddress(GBusType type);
bool nameHasOwner(GDBusConnection* bus, const char* name);
// The unique name of the connection that owns `name`; nullopt when none does.
std::optional<std::string> nameOwner(GDBusConnection* bus, const char* name);
// A method call that waits for its reply; the reply's type must be replyType.
Expected<VariantPtr> callSync(GDBusConnection* bus, const char* name, const char* path,
                              const char* interface, const char* method, GVariant* arguments,
                              const char* replyType, int timeoutMs = kDBusCallTimeoutMs);
// A method call whose reply (nullptr on any failure, cancellation included) goes to done, on the
// thread-default main context of the caller.
void callAsync(GDBusConnection* bus, const char* name, const char* path, const char* interface,
               const char* method, GVariant* arguments, const char* replyType, int timeoutMs,
               GCancellable* cancellable, std::function<void(VariantPtr)> done);
// Asks the bus for a name of our own; false when another process holds it.
bool requestName(GDBusConnection* bus, const char* name);

// Subscribes to a signal for as long as it lives, on the thread-default main context.
class SignalSubscription {
 public:
  SignalSubscription() = default;
  SignalSubscription(GDBusConnection* bus, const char* interface, const char* member,
                     const char* path, GDBusSignalCallback callback, gpointer data);
  ~SignalSubscription();
  SignalSubscription(SignalSubscription&& other) noexcept;
  SignalSubscription& operator=(SignalSubscription&& other) noexcept;

 private:
  GDBusConnection* bus_ = nullptr;
  guint id_ = 0;
};

}  // namespace quillmoss::desktop
