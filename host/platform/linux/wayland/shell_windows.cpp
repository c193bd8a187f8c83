// KWin's and GNOME Shell's window lists; see shell_windows.h.
#include "platform/linux/wayland/shell_windows.h"

#include "linux_desktop/dbus.h"
#include "linux_desktop/glib_context.h"
#include "linux_desktop/shell_scripts.h"

namespace quillmoss::host {
namespace {

using desktop::ShellWindow;

constexpr char kKWin[] = "org.kde.KWin";
constexpr char kHostXml[] =
    "<node><interface name='com.velbrook.quillmoss.Windows'>"
    "<method name='WindowsChanged'><arg type='s' name='windows' direction='in'/></method>"
    "</interface></node>";

std::string field(std::string_view text) {
  return std::string(text.substr(0, desktop::kMaxShellFieldBytes));
}

// The exported object and the script's calls end with `script_`, before the bus and the
// context they use.
class KWinWindows final : public ShellWindows {
 public:
  KWinWindows(EventLoop& loop, desktop::BusPtr bus) : glib_(loop), bus_(std::move(bus)) {}

  bool start(const std::filesystem::path& script) {
    const desktop::KWinScriptOptions options{"com.velbrook.quillmoss.Host",
                                             "/com/velbrook/quillmoss/Host", kHostXml, script,
                                             "quillmoss-windows"};
    script_ =
        desktop::KWinScript::start(bus_.get(), options, [this](std::string_view, GVariant* p) {
          const gchar* report = nullptr;
          g_variant_get(p, "(&s)", &report);
          windows_ = parseKWinWindows(report);
        });
    glib_.refresh();
    return script_ != nullptr;
  }

  std::optional<std::vector<ShellWindow>> windows() override {
    // A KWin that restarted dropped our script with it.
    if (desktop::nameOwner(bus_.get(), kKWin) != script_->kwinOwner()) return std::nullopt;
    if (!windows_ && !waited_) {
      waited_ = true;
      glib_.runUntil([this] { return windows_.has_value(); }, kShellTimeoutMs);
    }
    return windows_.value_or(std::vector<ShellWindow>{});
  }

 private:
  desktop::GlibContext glib_;
  desktop::BusPtr bus_;
  std::unique_ptr<desktop::KWinScript> script_;
  std::optional<std::vector<ShellWindow>> windows_;
  bool waited_ = false;
};

class GnomeWindows final : public ShellWindows {
 public:
  explicit GnomeWindows(desktop::BusPtr bus) : bus_(std::move(bus)) {}

  std::optional<std::vector<ShellWindow>> windows() override {
    auto reply = desktop::callSync(bus_.get(), desktop::kGnomeShellBusName,
                                   desktop::kGnomeShellObjectPath, desktop::kGnomeShellInterface,
                                   "ListWindows", nullptr, "(a(ssis))", kShellTimeoutMs);
    if (!reply) return std::nullopt;
    std::vector<ShellWindow> windows;
    GVariantIter* iter = nullptr;
    g_variant_get(reply->get(), "(a(ssis))", &iter);
    const gchar *appId = nullptr, *wmClass = nullptr, *title = nullptr;
    gint32 pid = 0;
    while (windows.size() < kMaxShellWindows &&
           g_variant_iter_next(iter, "(&s&si&s)", &appId, &wmClass, &pid, &title)) {
      windows.push_back({field(appId), field(wmClass),
                         pid > 0 ? std::optional<int>(pid) : std::nullopt, field(title)});
    }
    g_variant_iter_free(iter);
    return windows;
  }

 private:
  desktop::BusPtr bus_;
};

}  // namespace

std::vector<ShellWindow> parseKWinWindows(std::string_view report) {
  std::vector<ShellWindow> windows;
  while (!report.empty() && windows.size() < kMaxShellWindows) {
    const std::size_t end = std::min(report.find('\n'), report.size());
    std::string_view line = report.substr(0, end);
    report.remove_prefix(std::min(end + 1, report.size()));
    std::string_view fields[4];
    for (std::string_view& f : fields) {
      const std::size_t tab = std::min(line.find('\t'), line.size());
      f = line.substr(0, tab);
      line.remove_prefix(std::min(tab + 1, line.size()));
    }
    windows.push_back(
        {field(fields[0]), field(fields[1]), desktop::shellPid(fields[2]), field(fields[3])});
  }
  return windows;
}

std::unique_ptr<ShellWindows> connectShellWindows(EventLoop& loop,
                                                  const std::filesystem::path& kwinScript) {
  auto bus = desktop::openBus(G_BUS_TYPE_SESSION);
  if (!bus) return nullptr;
  if (desktop::nameHasOwner(bus->get(), kKWin)) {
    auto kwin = std::make_unique<KWinWindows>(loop, std::move(*bus));
    if (!kwin->start(kwinScript)) return nullptr;
    return kwin;
  }
  if (!desktop::nameHasOwner(bus->get(), desktop::kGnomeShellBusName)) return nullptr;
  return std::make_unique<GnomeWindows>(std::move(*bus));
}

}  // namespace quillmoss::host
