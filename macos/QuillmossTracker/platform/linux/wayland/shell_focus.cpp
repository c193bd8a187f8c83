// KWin's and GNOME Shell's focus reports; see shell_focus.h.
#include "platform/linux/wayland/shell_focus.h"

namespace quillmoss::tracker {
namespace {

using desktop::callSync;
using desktop::kMaxShellFieldBytes;

constexpr char kTrackerXml[] =
    "<node><interface name='com.velbrook.quillmoss.Tracker'>"
    "<method name='WindowActivated'><arg type='s' name='desktopFileName' direction='in'/>"
    "<arg type='s' name='resourceClass' direction='in'/><arg type='s' name='pid' direction='in'/>"
    "</method></interface></node>";

FocusReport report(const char* appId, const char* wmClass, std::optional<int> pid) {
  return FocusReport{std::string(std::string_view(appId).substr(0, kMaxShellFieldBytes)),
                     std::string(std::string_view(wmClass).substr(0, kMaxShellFieldBytes)), pid};
}

class KWinFocus final : public ShellFocus {
 public:
  explicit KWinFocus(std::unique_ptr<desktop::KWinScript> script) : script_(std::move(script)) {}

 private:
  std::unique_ptr<desktop::KWinScript> script_;
};

class GnomeFocus final : public ShellFocus {
 public:
  GnomeFocus(GDBusConnection* bus, Handler handler)
      : bus_(bus),
        handler_(std::move(handler)),
        subscription_(bus, desktop::kGnomeShellInterface, "FocusChanged",
                      desktop::kGnomeShellObjectPath, onChanged, this) {}

  bool read(FocusReport& current) {
    auto reply = callSync(bus_, desktop::kGnomeShellBusName, desktop::kGnomeShellObjectPath,
                          desktop::kGnomeShellInterface, "GetFocus", nullptr, "(ssi)");
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
    auto owner = desktop::nameOwner(self->bus_, desktop::kGnomeShellBusName);
    if (!owner || sender == nullptr || *owner != sender) return;
    if (self->handler_) self->handler_(fromVariant(parameters));
  }

  GDBusConnection* bus_;
  Handler handler_;
  desktop::SignalSubscription subscription_;
};

}  // namespace

std::unique_ptr<ShellFocus> startKWinFocus(GDBusConnection* bus,
                                           const std::filesystem::path& script,
                                           ShellFocus::Handler handler) {
  const desktop::KWinScriptOptions options{"com.velbrook.quillmoss.Tracker",
                                           "/com/velbrook/quillmoss/Tracker", kTrackerXml, script,
                                           "quillmoss-activations"};
  auto loaded = desktop::KWinScript::start(
      bus, options, [handler = std::move(handler)](std::string_view, GVariant* parameters) {
        const gchar *desktopFile = nullptr, *resourceClass = nullptr, *pid = nullptr;
        g_variant_get(parameters, "(&s&s&s)", &desktopFile, &resourceClass, &pid);
        if (handler) handler(report(desktopFile, resourceClass, desktop::shellPid(pid)));
      });
  if (!loaded) return nullptr;
  return std::make_unique<KWinFocus>(std::move(loaded));
}

std::unique_ptr<ShellFocus> startGnomeFocus(GDBusConnection* bus, FocusReport& current,
                                            ShellFocus::Handler handler) {
  if (!desktop::nameHasOwner(bus, desktop::kGnomeShellBusName)) return nullptr;
  auto focus = std::make_unique<GnomeFocus>(bus, std::move(handler));
  if (!focus->read(current)) return nullptr;
  return focus;
}

}  // namespace quillmoss::tracker
