// KWin's and GNOME Shell's focus reports; see shell_focus.h.
#include "platform/linux/wayland/shell_focus.h"

#include <charconv>

namespace quillmoss::tracker {
namespace {

constexpr char kKWin[] = "org.kde.KWin";
constexpr char kScripting[] = "org.kde.kwin.Scripting";
constexpr char kTrackerInterface[] = "com.velbrook.quillmoss.Tracker";
constexpr char kGnomeFocusInterface[] = "com.velbrook.quillmoss.FocusedWindow";
// A shell that sends more than this is cut short.
constexpr std::size_t kMaxFieldBytes = 1024;

constexpr char kTrackerXml[] =
    "<node><interface name='com.velbrook.quillmoss.Tracker'>"
    "<method name='WindowActivated'><arg type='s' name='desktopFileName' direction='in'/>"
    "<arg type='s' name='resourceClass' direction='in'/><arg type='s' name='pid' direction='in'/>"
    "</method></interface></node>";

std::optional<std::string> nameOwner(GDBusConnection* bus, const char* name) {
  auto reply = callSync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus", "GetNameOwner", g_variant_new("(s)", name), "(s)");
  if (!reply) return std::nullopt;
  const gchar* owner = nullptr;
  g_variant_get(reply->get(), "(&s)", &owner);
  return std::string(owner);
}

std::optional<int> positivePid(std::string_view text) {
  int pid = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (ec != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
  return pid;
}

FocusReport report(const char* appId, const char* wmClass, std::optional<int> pid) {
  return FocusReport{std::string(std::string_view(appId).substr(0, kMaxFieldBytes)),
                     std::string(std::string_view(wmClass).substr(0, kMaxFieldBytes)), pid};
}

class KWinFocus final : public ShellFocus {
 public:
  KWinFocus(GDBusConnection* bus, std::string kwinOwner, Handler handler)
      : bus_(bus), kwinOwner_(std::move(kwinOwner)), handler_(std::move(handler)) {}

  ~KWinFocus() override {
    if (loaded_) unloadScript();
    if (registration_ != 0) g_dbus_connection_unregister_object(bus_, registration_);
    if (info_ != nullptr) g_dbus_node_info_unref(info_);
  }

  bool start(const std::filesystem::path& script) {
    if (!requestName(bus_, kTrackerBusName)) return false;
    info_ = g_dbus_node_info_new_for_xml(kTrackerXml, nullptr);
    static const GDBusInterfaceVTable vtable = {onMethodCall, nullptr, nullptr, {}};
    registration_ = g_dbus_connection_register_object(
        bus_, kTrackerObjectPath, info_->interfaces[0], &vtable, this, nullptr, nullptr);
    if (registration_ == 0) return false;
    // A script left loaded by a tracker that did not end cleanly would refuse the new one.
    unloadScript();
    auto id = callSync(bus_, kKWin, "/Scripting", kScripting, "loadScript",
                       g_variant_new("(ss)", script.c_str(), kKWinPluginName), "(i)");
    if (!id) return false;
    gint32 number = -1;
    g_variant_get(id->get(), "(i)", &number);
    if (number < 0) return false;
    loaded_ = true;
    return static_cast<bool>(
        callSync(bus_, kKWin, "/Scripting", kScripting, "start", nullptr, "()"));
  }

 private:
  void unloadScript() {
    (void)callSync(bus_, kKWin, "/Scripting", kScripting, "unloadScript",
                   g_variant_new("(s)", kKWinPluginName), "(b)");
  }

  static void onMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                           const gchar* method, GVariant* parameters,
                           GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<KWinFocus*>(data);
    // Only KWin speaks for the window in front.
    if (sender == nullptr || self->kwinOwner_ != sender ||
        std::string_view(method) != "WindowActivated") {
      g_dbus_method_invocation_return_dbus_error(
          invocation, "org.freedesktop.DBus.Error.AccessDenied", "not KWin");
      return;
    }
    const gchar *desktopFile = nullptr, *resourceClass = nullptr, *pid = nullptr;
    g_variant_get(parameters, "(&s&s&s)", &desktopFile, &resourceClass, &pid);
    FocusReport focus = report(desktopFile, resourceClass, positivePid(pid));
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (self->handler_) self->handler_(focus);
  }

  GDBusConnection* bus_;
  std::string kwinOwner_;
  Handler handler_;
  GDBusNodeInfo* info_ = nullptr;
  guint registration_ = 0;
  bool loaded_ = false;
};

class GnomeFocus final : public ShellFocus {
 public:
  GnomeFocus(GDBusConnection* bus, Handler handler)
      : bus_(bus),
        handler_(std::move(handler)),
        subscription_(bus, kGnomeFocusInterface, "FocusChanged", kGnomeFocusObjectPath, onChanged,
                      this) {}

  bool read(FocusReport& current) {
    auto reply = callSync(bus_, kGnomeFocusBusName, kGnomeFocusObjectPath, kGnomeFocusInterface,
                          "GetFocus", nullptr, "(ssi)");
    if (!reply) return false;
    current = fromVariant(reply->get());
    return true;
  }

 private:
  static FocusReport fromVariant(GVariant* value) {
    const gchar *appId = nullptr, *wmClass = nullptr;
    gint32 pid = 0;
    g_variant_get(value, "(&s&si)", &appId, &wmClass, &pid);
    return report(appId, wmClass, pid > 0 ? std::optional<int>(pid) : std::nullopt);
  }

  static void onChanged(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                        const gchar*, GVariant* parameters, gpointer data) {
    auto* self = static_cast<GnomeFocus*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssi)"))) return;
    // Only the extension's own connection (GNOME Shell's) speaks for the window in front.
    auto owner = nameOwner(self->bus_, kGnomeFocusBusName);
    if (!owner || sender == nullptr || *owner != sender) return;
    if (self->handler_) self->handler_(fromVariant(parameters));
  }

  GDBusConnection* bus_;
  Handler handler_;
  SignalSubscription subscription_;
};

}  // namespace

std::unique_ptr<ShellFocus> startKWinFocus(GDBusConnection* bus,
                                           const std::filesystem::path& script,
                                           ShellFocus::Handler handler) {
  auto owner = nameOwner(bus, kKWin);
  if (!owner) return nullptr;
  auto focus = std::make_unique<KWinFocus>(bus, *owner, std::move(handler));
  if (!focus->start(script)) return nullptr;
  return focus;
}

std::unique_ptr<ShellFocus> startGnomeFocus(GDBusConnection* bus, FocusReport& current,
                                            ShellFocus::Handler handler) {
  if (!nameHasOwner(bus, kGnomeFocusBusName)) return nullptr;
  auto focus = std::make_unique<GnomeFocus>(bus, std::move(handler));
  if (!focus->read(current)) return nullptr;
  return focus;
}

}  // namespace quillmoss::tracker
