// Our scripts inside KWin; see shell_scripts.h.
#include "linux_desktop/shell_scripts.h"

#include <charconv>

#include "linux_desktop/dbus.h"

namespace quillmoss::desktop {
namespace {

constexpr char kKWin[] = "org.kde.KWin";
constexpr char kScripting[] = "org.kde.kwin.Scripting";

}  // namespace

std::optional<int> shellPid(std::string_view text) {
  int pid = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (ec != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
  return pid;
}

std::unique_ptr<KWinScript> KWinScript::start(GDBusConnection* bus,
                                              const KWinScriptOptions& options, Handler handler) {
  auto owner = nameOwner(bus, kKWin);
  if (!owner) return nullptr;
  std::unique_ptr<KWinScript> script(
      new KWinScript(bus, std::move(*owner), options.pluginName, std::move(handler)));
  if (!script->load(options)) return nullptr;
  return script;
}

KWinScript::KWinScript(GDBusConnection* bus, std::string kwinOwner, const char* pluginName,
                       Handler handler)
    : bus_(bus),
      kwinOwner_(std::move(kwinOwner)),
      pluginName_(pluginName),
      handler_(std::move(handler)) {}

KWinScript::~KWinScript() {
  if (loaded_) unload();
  if (registration_ != 0) g_dbus_connection_unregister_object(bus_, registration_);
  if (info_ != nullptr) g_dbus_node_info_unref(info_);
}

bool KWinScript::load(const KWinScriptOptions& options) {
  if (!requestName(bus_, options.busName)) return false;
  info_ = g_dbus_node_info_new_for_xml(options.interfaceXml, nullptr);
  if (info_ == nullptr || info_->interfaces[0] == nullptr) return false;
  static const GDBusInterfaceVTable vtable = {onMethodCall, nullptr, nullptr, {}};
  registration_ = g_dbus_connection_register_object(bus_, options.objectPath, info_->interfaces[0],
                                                    &vtable, this, nullptr, nullptr);
  if (registration_ == 0) return false;
  // A script left loaded by a program that did not end cleanly would refuse the new one.
  unload();
  auto id = callSync(bus_, kKWin, "/Scripting", kScripting, "loadScript",
                     g_variant_new("(ss)", options.script.c_str(), options.pluginName), "(i)");
  if (!id) return false;
  gint32 number = -1;
  g_variant_get(id->get(), "(i)", &number);
  if (number < 0) return false;
  loaded_ = true;
  return static_cast<bool>(callSync(bus_, kKWin, "/Scripting", kScripting, "start", nullptr, "()"));
}

void KWinScript::unload() {
  (void)callSync(bus_, kKWin, "/Scripting", kScripting, "unloadScript",
                 g_variant_new("(s)", pluginName_), "(b)");
}

void KWinScript::onMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                              const gchar* method, GVariant* parameters,
                              GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<KWinScript*>(data);
  // Only KWin speaks for its windows.
  if (sender == nullptr || self->kwinOwner_ != sender) {
    g_dbus_method_invocation_return_dbus_error(
        invocation, "org.freedesktop.DBus.Error.AccessDenied", "not KWin");
    return;
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if (self->handler_) self->handler_(method, parameters);
}

}  // namespace quillmoss::desktop
