// One item in the panels' trays through the freedesktop tray protocol (StatusNotifierItem), as
// KDE Plasma, GNOME's AppIndicator extension, waybar and most other panels host it: a name of
// its own on the session bus, registered with the StatusNotifierWatcher whenever one appears.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>

#include "core/event_loop.h"
#include "linux_desktop/dbus.h"
#include "linux_desktop/glib_context.h"
#include "platform/linux/tray/tray_icon.h"

namespace quillmoss::host {

inline constexpr char kStatusNotifierWatcher[] = "org.kde.StatusNotifierWatcher";
inline constexpr char kStatusNotifierItemPath[] = "/StatusNotifierItem";

struct StatusNotifierOptions {
  std::string id;  // the same for every run of the application
  TrayIcon icon;
  std::string description;  // the tooltip's line under the title
};

class StatusNotifierItem {
 public:
  // Connects without waiting; the bus's work runs on glib's context. Without a session bus the
  // item is shown nowhere, silently; without a watcher it waits for one. `activated` runs on
  // the loop when a panel's user clicks the item. The loop, glib and options outlive the item.
  StatusNotifierItem(EventLoop& loop, desktop::GlibContext& glib,
                     const StatusNotifierOptions& options, std::function<void()> activated);
  // Withdrawn from every tray: its name and its connection go.
  ~StatusNotifierItem();
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  // The title, the tooltip's title and the label beside the icon; panels are told at once.
  void setTitle(const std::string& title);

 private:
  struct Handle {
    StatusNotifierItem* item;
  };

  static void onConnected(GObject*, GAsyncResult* result, gpointer data);
  void connected(GDBusConnection* bus);
  void registerWithWatcher();
  void emit(const char* signal, GVariant* arguments = nullptr);
  GVariant* property(const std::string& name) const;
  static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                           gpointer data);
  static GVariant* onGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar* name, GError**, gpointer data);

  EventLoop& loop_;
  desktop::GlibContext& glib_;
  const StatusNotifierOptions& options_;
  std::function<void()> activated_;
  std::string busName_;  // "org.kde.StatusNotifierItem-<pid>-<n>", unique in the process
  std::string title_;
  GCancellable* cancellable_;
  desktop::BusPtr bus_;
  guint registration_ = 0;
  guint nameOwning_ = 0;
  guint watcherWatching_ = 0;
  bool nameAcquired_ = false;
  std::string watcher_;         // the watcher's unique name while there is one
  std::string registeredWith_;  // the watcher told of this item
  std::shared_ptr<Handle> self_;
};

}  // namespace quillmoss::host
