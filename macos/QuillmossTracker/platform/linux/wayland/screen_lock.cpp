// The locked screen from logind and the screen savers; see screen_lock.h.
#include "platform/linux/wayland/screen_lock.h"

#include <unistd.h>

#include <cstring>
#include <string>

namespace quillmoss::tracker {
namespace {

using desktop::callSync;
using desktop::VariantPtr;

constexpr char kFreedesktop[] = "org.freedesktop.ScreenSaver";
constexpr char kGnome[] = "org.gnome.ScreenSaver";
constexpr char kLogind[] = "org.freedesktop.login1";

bool screenSaverActive(GDBusConnection* bus, const char* name, const char* path) {
  if (!desktop::nameHasOwner(bus, name)) return false;
  auto reply = callSync(bus, name, path, name, "GetActive", nullptr, "(b)");
  if (!reply) return false;
  gboolean active = FALSE;
  g_variant_get(reply->get(), "(b)", &active);
  return active;
}

// Our logind session's object path: the one of our process, else the caller's "auto" session.
std::optional<std::string> logindSession(GDBusConnection* system) {
  auto reply =
      callSync(system, kLogind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
               "GetSessionByPID", g_variant_new("(u)", static_cast<guint32>(getpid())), "(o)");
  if (!reply) {
    reply = callSync(system, kLogind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                     "GetSession", g_variant_new("(s)", "auto"), "(o)");
  }
  if (!reply) return std::nullopt;
  const gchar* path = nullptr;
  g_variant_get(reply->get(), "(&o)", &path);
  return std::string(path);
}

}  // namespace

ScreenLock::ScreenLock(GDBusConnection* session, GDBusConnection* system,
                       std::function<void(bool)> changed)
    : changed_(std::move(changed)) {
  if (session != nullptr) {
    // KDE serves the freedesktop interface at both paths.
    freedesktopActive_ = screenSaverActive(session, kFreedesktop, "/org/freedesktop/ScreenSaver") ||
                         screenSaverActive(session, kFreedesktop, "/ScreenSaver");
    gnomeActive_ = screenSaverActive(session, kGnome, "/org/gnome/ScreenSaver");
    subscriptions_.emplace_back(session, kFreedesktop, "ActiveChanged", nullptr, onActiveChanged,
                                this);
    subscriptions_.emplace_back(session, kGnome, "ActiveChanged", nullptr, onActiveChanged, this);
  }
  if (system != nullptr) {
    if (auto path = logindSession(system)) {
      auto reply =
          callSync(system, kLogind, path->c_str(), "org.freedesktop.DBus.Properties", "Get",
                   g_variant_new("(ss)", "org.freedesktop.login1.Session", "LockedHint"), "(v)");
      if (reply) {
        GVariant* value = nullptr;
        g_variant_get(reply->get(), "(v)", &value);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
          logindLocked_ = g_variant_get_boolean(value);
        }
        g_variant_unref(value);
      }
      subscriptions_.emplace_back(system, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                  path->c_str(), onSessionProperties, this);
    }
  }
}

void ScreenLock::update(bool& flag, bool value) {
  const bool before = locked();
  flag = value;
  if (locked() != before && changed_) changed_(locked());
}

void ScreenLock::onActiveChanged(GDBusConnection*, const gchar*, const gchar*,
                                 const gchar* interface, const gchar*, GVariant* parameters,
                                 gpointer self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  gboolean active = FALSE;
  g_variant_get(parameters, "(b)", &active);
  auto* lock = static_cast<ScreenLock*>(self);
  lock->update(std::strcmp(interface, kGnome) == 0 ? lock->gnomeActive_ : lock->freedesktopActive_,
               active);
}

void ScreenLock::onSessionProperties(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar*, GVariant* parameters, gpointer self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
  VariantPtr changed(g_variant_get_child_value(parameters, 1));
  gboolean locked = FALSE;
  if (g_variant_lookup(changed.get(), "LockedHint", "b", &locked)) {
    auto* lock = static_cast<ScreenLock*>(self);
    lock->update(lock->logindLocked_, locked);
  }
}

}  // namespace quillmoss::tracker
