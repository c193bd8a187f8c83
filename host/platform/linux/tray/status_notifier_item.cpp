// The item's object, name and registration over GDBus; every call waits for nothing.
#include "platform/linux/tray/status_notifier_item.h"

#include <unistd.h>

#include <atomic>

namespace quillmoss::host {

namespace {

constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr int kRegisterTimeoutMs = 5000;

constexpr char kItemXml[] =
    "<node><interface name='org.kde.StatusNotifierItem'>"
    "<property name='Category' type='s' access='read'/>"
    "<property name='Id' type='s' access='read'/>"
    "<property name='Title' type='s' access='read'/>"
    "<property name='Status' type='s' access='read'/>"
    "<property name='WindowId' type='i' access='read'/>"
    "<property name='IconName' type='s' access='read'/>"
    "<property name='IconThemePath' type='s' access='read'/>"
    "<property name='IconPixmap' type='a(iiay)' access='read'/>"
    "<property name='ToolTip' type='(sa(iiay)ss)' access='read'/>"
    "<property name='ItemIsMenu' type='b' access='read'/>"
    "<property name='XAyatanaLabel' type='s' access='read'/>"
    "<property name='XAyatanaLabelGuide' type='s' access='read'/>"
    "<method name='Activate'><arg name='x' type='i'/><arg name='y' type='i'/></method>"
    "<method name='SecondaryActivate'><arg name='x' type='i'/><arg name='y' type='i'/></method>"
    "<method name='ContextMenu'><arg name='x' type='i'/><arg name='y' type='i'/></method>"
    "<method name='Scroll'><arg name='delta' type='i'/><arg name='orientation' type='s'/></method>"
    "<signal name='NewTitle'/><signal name='NewIcon'/><signal name='NewToolTip'/>"
    "<signal name='NewStatus'><arg name='status' type='s'/></signal>"
    "<signal name='XAyatanaNewLabel'><arg name='label' type='s'/><arg name='guide' type='s'/>"
    "</signal></interface></node>";

struct NodeInfoUnref {
  void operator()(GDBusNodeInfo* info) const { g_dbus_node_info_unref(info); }
};

GDBusInterfaceInfo* itemInterface() {
  static const std::unique_ptr<GDBusNodeInfo, NodeInfoUnref> node(
      g_dbus_node_info_new_for_xml(kItemXml, nullptr));
  return node->interfaces[0];
}

GVariant* pixmaps(const TrayIcon& icon) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  for (const TrayPixmap& pixmap : icon.pixmaps) {
    g_variant_builder_add(
        &builder, "(ii@ay)", pixmap.width, pixmap.height,
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(), pixmap.argb.size(), 1));
  }
  return g_variant_builder_end(&builder);
}

// Only the outcome matters to nobody: a watcher that refuses leaves the item waiting for the
// next one. The item may be gone by now.
void onRegistered(GObject* bus, GAsyncResult* result, gpointer) {
  GError* error = nullptr;
  if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error)) {
    g_variant_unref(reply);
  }
  g_clear_error(&error);
}

// The widest text of the title's shape, for panels that keep the label's width steady.
std::string labelGuide(const std::string& title) {
  std::string guide = title;
  for (char& c : guide) {
    if (c >= '0' && c <= '9') c = '8';
  }
  return guide;
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(EventLoop& loop, desktop::GlibContext& glib,
                                       const StatusNotifierOptions& options,
                                       std::function<void()> activated)
    : loop_(loop),
      glib_(glib),
      options_(options),
      activated_(std::move(activated)),
      cancellable_(g_cancellable_new()),
      self_(std::make_shared<Handle>(Handle{this})) {
  static std::atomic<unsigned> items{0};
  busName_ =
      "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" + std::to_string(++items);
  const auto address = desktop::busAddress(G_BUS_TYPE_SESSION);
  if (!address) return;
  desktop::ThreadDefaultScope scope(glib_.context());
  g_dbus_connection_new_for_address(
      address->c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable_, onConnected, this);
  glib_.refresh();
}

StatusNotifierItem::~StatusNotifierItem() {
  // Callbacks still queued see the cancellation and leave `this` alone.
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  if (watcherWatching_ != 0) g_bus_unwatch_name(watcherWatching_);
  if (nameOwning_ != 0) g_bus_unown_name(nameOwning_);
  if (registration_ != 0) g_dbus_connection_unregister_object(bus_.get(), registration_);
}

void StatusNotifierItem::onConnected(GObject*, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_finish(result, &error);
  if (bus == nullptr) {
    g_clear_error(&error);  // cancelled (the item is gone) or no bus: shown nowhere
    return;
  }
  static_cast<StatusNotifierItem*>(data)->connected(bus);
}

void StatusNotifierItem::connected(GDBusConnection* bus) {
  bus_.reset(bus);
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  desktop::ThreadDefaultScope scope(glib_.context());
  static const GDBusInterfaceVTable vtable = {onMethodCall, onGetProperty, nullptr, {}};
  registration_ = g_dbus_connection_register_object(bus, kStatusNotifierItemPath, itemInterface(),
                                                    &vtable, this, nullptr, nullptr);
  nameOwning_ = g_bus_own_name_on_connection(
      bus, busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
      [](GDBusConnection*, const gchar*, gpointer data) {
        auto* item = static_cast<StatusNotifierItem*>(data);
        item->nameAcquired_ = true;
        item->registerWithWatcher();
      },
      [](GDBusConnection*, const gchar*, gpointer data) {
        static_cast<StatusNotifierItem*>(data)->nameAcquired_ = false;
      },
      this, nullptr);
  // A panel that starts, or starts again, brings a new watcher: it is told of the item anew.
  watcherWatching_ = g_bus_watch_name_on_connection(
      bus, kStatusNotifierWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar* owner, gpointer data) {
        auto* item = static_cast<StatusNotifierItem*>(data);
        item->watcher_ = owner;
        item->registerWithWatcher();
      },
      [](GDBusConnection*, const gchar*, gpointer data) {
        auto* item = static_cast<StatusNotifierItem*>(data);
        item->watcher_.clear();
        item->registeredWith_.clear();
      },
      this, nullptr);
  glib_.refresh();
}

void StatusNotifierItem::registerWithWatcher() {
  if (!nameAcquired_ || watcher_.empty() || registeredWith_ == watcher_) return;
  registeredWith_ = watcher_;
  desktop::ThreadDefaultScope scope(glib_.context());
  g_dbus_connection_call(bus_.get(), watcher_.c_str(), kWatcherPath, kStatusNotifierWatcher,
                         "RegisterStatusNotifierItem", g_variant_new("(s)", busName_.c_str()),
                         nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kRegisterTimeoutMs, cancellable_,
                         onRegistered, nullptr);
  glib_.refresh();
}

void StatusNotifierItem::setTitle(const std::string& title) {
  if (title == title_) return;
  title_ = title;
  emit("NewTitle");
  emit("NewToolTip");
  emit("XAyatanaNewLabel", g_variant_new("(ss)", title_.c_str(), labelGuide(title_).c_str()));
}

void StatusNotifierItem::emit(const char* signal, GVariant* arguments) {
  if (registration_ == 0) {
    if (arguments != nullptr) g_variant_unref(g_variant_ref_sink(arguments));
    return;
  }
  g_dbus_connection_emit_signal(bus_.get(), nullptr, kStatusNotifierItemPath, kItemInterface,
                                signal, arguments, nullptr);
}

GVariant* StatusNotifierItem::property(const std::string& name) const {
  if (name == "Category") return g_variant_new_string("ApplicationStatus");
  if (name == "Id") return g_variant_new_string(options_.id.c_str());
  if (name == "Title" || name == "XAyatanaLabel") return g_variant_new_string(title_.c_str());
  if (name == "XAyatanaLabelGuide") return g_variant_new_string(labelGuide(title_).c_str());
  if (name == "Status") return g_variant_new_string("Active");
  if (name == "WindowId") return g_variant_new_int32(0);
  if (name == "IconName") return g_variant_new_string(options_.icon.name.c_str());
  if (name == "IconThemePath") return g_variant_new_string(options_.icon.themePath.c_str());
  if (name == "IconPixmap") return pixmaps(options_.icon);
  if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (name == "ToolTip") {
    return g_variant_new("(s@a(iiay)ss)", options_.icon.name.c_str(), pixmaps(TrayIcon{}),
                         title_.c_str(), options_.description.c_str());
  }
  return nullptr;
}

GVariant* StatusNotifierItem::onGetProperty(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar* name, GError** error,
                                            gpointer data) {
  GVariant* value = static_cast<StatusNotifierItem*>(data)->property(name);
  if (value == nullptr) {
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
  }
  return value;
}

void StatusNotifierItem::onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                      const gchar* method, GVariant*,
                                      GDBusMethodInvocation* invocation, gpointer data) {
  auto* item = static_cast<StatusNotifierItem*>(data);
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if (g_strcmp0(method, "Activate") != 0) return;  // no menu, no scrolling
  // Later, on the loop: the click may well remove the item.
  std::weak_ptr<Handle> weak = item->self_;
  item->loop_.post([weak] {
    if (auto self = weak.lock()) {
      if (auto activated = self->item->activated_) activated();
    }
  });
}

}  // namespace quillmoss::host
