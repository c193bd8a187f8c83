// KWin's and GNOME Shell's window lists; see shell_windows.h.
#include "platform/linux/wayland/shell_windows.h"

#include <charconv>

#include <cstdlib>

#include "linux_desktop/candidates.h"
#include "linux_desktop/dbus.h"
#include "linux_desktop/glib_context.h"
#include "linux_desktop/shell_scripts.h"
#include "linux_desktop/wayland_windows.h"
#include "platform/linux/window_candidates.h"

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

// A shell's windows as the host lists running ones.
class ShellRunningWindows final : public RunningWindows {
 public:
  ShellRunningWindows(std::unique_ptr<ShellWindows> shell, WindowsContext& context)
      : shell_(std::move(shell)), context_(context) {}
  std::optional<std::vector<desktop::RunningWindow>> list() override {
    auto windows = shell_->windows();
    if (!windows) return std::nullopt;
    return desktop::applicationsOf(*windows, context_.installed.index(),
                                   [this] { return context_.xwayland().clientWindows(); });
  }
  // Xwayland windows have X icons.
  std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& window,
                                          std::shared_ptr<const Image> otherwise) override {
    return context_.xwayland().windowIcon(window, std::move(otherwise));
  }

 private:
  std::unique_ptr<ShellWindows> shell_;
  WindowsContext& context_;
};

bool inWaylandSession() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland != nullptr && *wayland != '\0';
}

}  // namespace

WindowsMade kwinScriptWindows(WindowsContext& context) {
  if (!inWaylandSession()) return desktop::cannotServe("$WAYLAND_DISPLAY is not set");
  GDBusConnection* probe = context.sessionBus();
  if (probe == nullptr || !desktop::nameHasOwner(probe, kKWin)) {
    return desktop::cannotServe("KWin is not on the session bus");
  }
  auto bus = desktop::openBus(G_BUS_TYPE_SESSION);
  if (!bus) return bus.error();
  auto kwin = std::make_unique<KWinWindows>(context.loop, std::move(*bus));
  if (!kwin->start(context.kwinScript)) return desktop::cannotServe("KWin refused the script");
  return std::unique_ptr<RunningWindows>(
      std::make_unique<ShellRunningWindows>(std::move(kwin), context));
}

WindowsMade gnomeExtensionWindows(WindowsContext& context) {
  if (!inWaylandSession()) return desktop::cannotServe("$WAYLAND_DISPLAY is not set");
  GDBusConnection* probe = context.sessionBus();
  if (probe == nullptr || !desktop::nameHasOwner(probe, desktop::kGnomeShellBusName)) {
    return desktop::cannotServe("the Quillmoss GNOME Shell extension is not on the session bus");
  }
  auto bus = desktop::openBus(G_BUS_TYPE_SESSION);
  if (!bus) return bus.error();
  return std::unique_ptr<RunningWindows>(std::make_unique<ShellRunningWindows>(
      std::make_unique<GnomeWindows>(std::move(*bus)), context));
}

std::vector<ShellWindow> parseKWinWindows(std::string_view report) {
  std::vector<ShellWindow> windows;
  while (!report.empty() && windows.size() < kMaxShellWindows) {
    const std::size_t end = std::min(report.find('\n'), report.size());
    std::string_view line = report.substr(0, end);
    report.remove_prefix(std::min(end + 1, report.size()));
    std::string_view fields[5];
    for (std::string_view& f : fields) {
      const std::size_t tab = std::min(line.find('\t'), line.size());
      f = line.substr(0, tab);
      line.remove_prefix(std::min(tab + 1, line.size()));
    }
    std::optional<std::size_t> parent;
    std::size_t index = 0;
    const char* end5 = fields[4].data() + fields[4].size();
    if (auto [at, ec] = std::from_chars(fields[4].data(), end5, index);
        ec == std::errc() && at == end5 && !fields[4].empty()) {
      parent = index;
    }
    windows.push_back({field(fields[0]), field(fields[1]), desktop::shellPid(fields[2]),
                       field(fields[3]), parent});
  }
  return windows;
}

}  // namespace quillmoss::host
