// GDBus helpers; see dbus.h.
#include "linux_desktop/dbus.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "linux_desktop/timed_open.h"

namespace quillmoss::desktop {
namespace {

Error fromGError(GError* error) {
  Error result{kDBusErrorDomain, error != nullptr ? error->code : 0,
               error != nullptr ? error->message : "unknown D-Bus failure"};
  g_clear_error(&error);
  return result;
}

bool sessionBusExpected() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
    return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime != nullptr && *runtime != '\0' &&
         std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

}  // namespace

Expected<std::string> busAddress(GBusType type) {
  if (type == G_BUS_TYPE_SESSION && !sessionBusExpected()) {
    return Error{kDBusErrorDomain, 0, "no session bus"};
  }
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(type, nullptr, &error);
  if (address == nullptr) return fromGError(error);
  std::string text(address);
  g_free(address);
  return text;
}

namespace {

Expected<BusPtr> openBusNow(const std::string& address) {
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (bus == nullptr) return fromGError(error);
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  return BusPtr(bus);
}

}  // namespace

Expected<BusPtr> openBus(GBusType type) {
  auto address = busAddress(type);
  if (!address) return address.error();
  static TimedOpen<Expected<BusPtr>> session([] {
    auto now = busAddress(G_BUS_TYPE_SESSION);
    return now ? openBusNow(*now) : Expected<BusPtr>(now.error());
  });
  static TimedOpen<Expected<BusPtr>> system([] {
    auto now = busAddress(G_BUS_TYPE_SYSTEM);
    return now ? openBusNow(*now) : Expected<BusPtr>(now.error());
  });
  auto opened = (type == G_BUS_TYPE_SYSTEM ? system : session)(kOpenSeconds);
  if (opened) return std::move(*opened);
  return Error{kDBusErrorDomain, ETIMEDOUT, "the bus at " + *address + " did not answer in time"};
}

Expected<VariantPtr> callSync(GDBusConnection* bus, const char* name, const char* path,
                              const char* interface, const char* method, GVariant* arguments,
                              const char* replyType, int timeoutMs) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, name, path, interface, method, arguments, G_VARIANT_TYPE(replyType),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &error);
  if (reply == nullptr) return fromGError(error);
  return VariantPtr(reply);
}

void callAsync(GDBusConnection* bus, const char* name, const char* path, const char* interface,
               const char* method, GVariant* arguments, const char* replyType, int timeoutMs,
               GCancellable* cancellable, std::function<void(VariantPtr)> done) {
  using Done = std::function<void(VariantPtr)>;
  g_dbus_connection_call(
      bus, name, path, interface, method, arguments, G_VARIANT_TYPE(replyType),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, cancellable,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<Done> done(static_cast<Done*>(data));
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        g_clear_error(&error);
        (*done)(VariantPtr(reply));
      },
      new Done(std::move(done)));
}

bool nameHasOwner(GDBusConnection* bus, const char* name) {
  auto reply = callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name), "(b)");
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply->get(), "(b)", &owned);
  return owned;
}

std::optional<std::string> nameOwner(GDBusConnection* bus, const char* name) {
  auto reply = callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus", "GetNameOwner", g_variant_new("(s)", name), "(s)");
  if (!reply) return std::nullopt;
  const gchar* owner = nullptr;
  g_variant_get(reply->get(), "(&s)", &owner);
  return std::string(owner);
}

bool requestName(GDBusConnection* bus, const char* name) {
  constexpr guint32 kDoNotQueue = 4, kPrimaryOwner = 1;
  auto reply =
      callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
               "RequestName", g_variant_new("(su)", name, kDoNotQueue), "(u)");
  if (!reply) return false;
  guint32 result = 0;
  g_variant_get(reply->get(), "(u)", &result);
  return result == kPrimaryOwner;
}

SignalSubscription::SignalSubscription(GDBusConnection* bus, const char* interface,
                                       const char* member, const char* path,
                                       GDBusSignalCallback callback, gpointer data)
    : bus_(bus),
      id_(g_dbus_connection_signal_subscribe(bus, nullptr, interface, member, path, nullptr,
                                             G_DBUS_SIGNAL_FLAGS_NONE, callback, data, nullptr)) {}

SignalSubscription::~SignalSubscription() {
  if (id_ != 0) g_dbus_connection_signal_unsubscribe(bus_, id_);
}

SignalSubscription::SignalSubscription(SignalSubscription&& other) noexcept
    : bus_(std::exchange(other.bus_, nullptr)), id_(std::exchange(other.id_, 0)) {}

SignalSubscription& SignalSubscription::operator=(SignalSubscription&& other) noexcept {
  if (this != &other) {
    if (id_ != 0) g_dbus_connection_signal_unsubscribe(bus_, id_);
    bus_ = std::exchange(other.bus_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

}  // namespace quillmoss::desktop
