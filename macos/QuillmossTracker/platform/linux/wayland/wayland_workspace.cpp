// The Wayland desktop session; see wayland_session.h.
#include "platform/linux/wayland/wayland_session.h"

#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "linux_desktop/dbus.h"
#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/glib_context.h"
#include "linux_desktop/identity.h"
#include "linux_desktop/wayland_display.h"
#include "platform/linux/wayland/idle_estimate.h"
#include "platform/linux/wayland/screen_lock.h"
#include "platform/linux/wayland/shell_focus.h"
#include "platform/linux/x11/activation_filter.h"
#include "wayland_protocols/ext_idle_notify.h"
#include "wayland_protocols/kde_idle.h"

namespace quillmoss::tracker {
namespace {

namespace fs = std::filesystem;

constexpr char kToplevelManager[] = "zwlr_foreign_toplevel_manager_v1";
constexpr char kGnomeIdleMonitor[] = "org.gnome.Mutter.IdleMonitor";
// KWin reports the window in front right after the script starts; until then (or if it never
// does) we start with none.
constexpr int kFirstReportTimeoutMs = 1000;
// Reuse an idle reading this fresh instead of another round trip (one flush asks twice).
constexpr double kIdleReuseSeconds = 0.1;

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The script shipped in the bundle: Contents/Resources beside Contents/MacOS.
fs::path kwinScript() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return exe.parent_path().parent_path() / "Resources" / "kwin" / "quillmoss-activations.js";
}

desktop::BusPtr open(GBusType type) {
  auto bus = desktop::openBus(type);
  return bus ? std::move(*bus) : nullptr;
}

// The loop's watcher and the protocol listeners capture `this`; the destructor ends them all
// (and the session's D-Bus parts) before its members go.
class WaylandSession final : public DesktopSession {
 public:
  WaylandSession(EventLoop& loop, std::unique_ptr<desktop::WaylandDisplay> display)
      : loop_(loop),
        display_(std::move(display)),
        index_(desktop::DesktopEntryIndex::scan()),
        filter_(loop),
        glib_(loop) {}

  ~WaylandSession() override {
    filter_.stop();
    if (watching_) loop_.unwatch(display_->fd());
    if (closedHandler_ != 0) g_signal_handler_disconnect(session_.get(), closedHandler_);
    // The shell's script is unloaded and the subscriptions end before the buses close.
    shell_.reset();
    lock_.reset();
    session_.reset();
    system_.reset();
    if (extIdle_ != nullptr) ext_idle_notification_v1_destroy(extIdle_);
    if (extNotifier_ != nullptr) ext_idle_notifier_v1_destroy(extNotifier_);
    if (kdeTimeout_ != nullptr) org_kde_kwin_idle_timeout_release(kdeTimeout_);
    if (kdeIdle_ != nullptr) org_kde_kwin_idle_destroy(kdeIdle_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
  }

  bool start(std::string& missing);

  std::optional<std::string> frontmostBundleId() override { return filter_.frontmost(); }
  void observeActivations(ActivationHandler handler) override {
    filter_.setHandler(std::move(handler));
  }
  void onSessionLost(std::function<void()> handler) override { lostHandler_ = std::move(handler); }
  double secondsSinceLastInput() override;

 private:
  std::optional<std::string> identityOf(const std::string& appId, const std::string& wmClass,
                                        std::optional<int> pid);
  std::optional<std::string> activeAppId() const;
  void toplevelsChanged();
  void focusReported(const FocusReport& focus);
  void watchIdle();
  void sessionLost();

  static void onExtIdled(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandSession*>(data)->idle_.idled(monotonicSeconds());
  }
  static void onExtResumed(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandSession*>(data)->idle_.resumed();
  }
  static void onKdeIdle(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandSession*>(data)->idle_.idled(monotonicSeconds());
  }
  static void onKdeResumed(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandSession*>(data)->idle_.resumed();
  }
  static void onBusClosed(GDBusConnection*, gboolean, GError*, gpointer data) {
    static_cast<WaylandSession*>(data)->sessionLost();
  }

  EventLoop& loop_;
  std::unique_ptr<desktop::WaylandDisplay> display_;
  desktop::DesktopEntryIndex index_;
  ActivationFilter filter_;
  desktop::GlibContext glib_;
  desktop::BusPtr session_, system_;
  std::unique_ptr<ScreenLock> lock_;
  std::unique_ptr<ShellFocus> shell_;
  gulong closedHandler_ = 0;
  std::function<void()> lostHandler_;
  bool watching_ = false, lost_ = false;
  bool started_ = false, startReported_ = false;
  FocusReport startFocus_;
  // Which app_id the compositor shows as activated; nullopt when none.
  std::optional<std::string> active_;

  wl_seat* seat_ = nullptr;
  ext_idle_notifier_v1* extNotifier_ = nullptr;
  ext_idle_notification_v1* extIdle_ = nullptr;
  org_kde_kwin_idle* kdeIdle_ = nullptr;
  org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
  IdleEstimate idle_;
  bool gnomeIdle_ = false;
  double lastIdle_ = 0.0, lastIdleAt_ = -1.0;
};

bool WaylandSession::start(std::string& missing) {
  session_ = open(G_BUS_TYPE_SESSION);
  system_ = open(G_BUS_TYPE_SYSTEM);

  std::optional<std::string> front;
  if (display_->offers(kToplevelManager)) {
    if (!display_->watchToplevels([this] { toplevelsChanged(); })) return false;
    active_ = activeAppId();
    if (active_) front = identityOf(*active_, {}, std::nullopt);
  } else if (session_) {
    auto handler = [this](const FocusReport& report) {
      // Until start() is done, a report only sets the state found at start-up.
      if (started_) {
        focusReported(report);
        return;
      }
      startFocus_ = report;
      startReported_ = true;
    };
    shell_ = startKWinFocus(session_.get(), kwinScript(), handler);
    if (shell_) {
      glib_.runUntil([this] { return startReported_; }, kFirstReportTimeoutMs);
    } else {
      shell_ = startGnomeFocus(session_.get(), startFocus_, handler);
    }
    if (!shell_) {
      missing =
          "lists no toplevels (wlr-foreign-toplevel) and neither KWin nor "
          "the Quillmoss GNOME Shell extension is on the session bus";
      return false;
    }
    const FocusReport& focus = startFocus_;
    if (!focus.none()) front = identityOf(focus.appId, focus.wmClass, focus.pid);
    closedHandler_ = g_signal_connect(session_.get(), "closed", G_CALLBACK(onBusClosed), this);
  } else {
    missing =
        "lists no toplevels (wlr-foreign-toplevel) and there is no session "
        "bus for KWin or GNOME Shell";
    return false;
  }

  watchIdle();
  lock_ = std::make_unique<ScreenLock>(session_.get(), system_.get(),
                                       [this](bool locked) { filter_.screenSaverChanged(locked); });
  filter_.start(front, lock_->locked());
  started_ = true;
  glib_.refresh();
  if (!display_->flush()) return false;
  loop_.watchReadable(display_->fd(), [this] {
    if (!display_->dispatch()) sessionLost();
  });
  watching_ = true;
  return true;
}

void WaylandSession::watchIdle() {
  static constexpr ext_idle_notification_v1_listener kExt = {.idled = onExtIdled,
                                                             .resumed = onExtResumed};
  static constexpr org_kde_kwin_idle_timeout_listener kKde = {.idle = onKdeIdle,
                                                              .resumed = onKdeResumed};
  const auto noticeMs = static_cast<std::uint32_t>(IdleEstimate::kNoticeSeconds * 1000);
  seat_ = static_cast<wl_seat*>(display_->bind(&wl_seat_interface, 1));
  if (seat_ != nullptr) {
    extNotifier_ =
        static_cast<ext_idle_notifier_v1*>(display_->bind(&ext_idle_notifier_v1_interface, 1));
    if (extNotifier_ != nullptr) {
      extIdle_ = ext_idle_notifier_v1_get_idle_notification(extNotifier_, noticeMs, seat_);
      ext_idle_notification_v1_add_listener(extIdle_, &kExt, this);
      return;
    }
    kdeIdle_ = static_cast<org_kde_kwin_idle*>(display_->bind(&org_kde_kwin_idle_interface, 1));
    if (kdeIdle_ != nullptr) {
      kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, noticeMs);
      org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &kKde, this);
      return;
    }
  }
  gnomeIdle_ = session_ && desktop::nameHasOwner(session_.get(), kGnomeIdleMonitor);
}

double WaylandSession::secondsSinceLastInput() {
  const double now = monotonicSeconds();
  if (extIdle_ != nullptr || kdeTimeout_ != nullptr) return idle_.secondsSinceLastInput(now);
  if (!gnomeIdle_) return 0.0;  // nothing tells; count the user as present
  if (now - lastIdleAt_ >= 0.0 && now - lastIdleAt_ < kIdleReuseSeconds) {
    return lastIdle_ + (now - lastIdleAt_);
  }
  if (!lost_) {
    auto reply =
        desktop::callSync(session_.get(), kGnomeIdleMonitor, "/org/gnome/Mutter/IdleMonitor/Core",
                          kGnomeIdleMonitor, "GetIdletime", nullptr, "(t)");
    if (reply) {
      guint64 ms = 0;
      g_variant_get(reply->get(), "(t)", &ms);
      lastIdle_ = static_cast<double>(ms) / 1000.0;
      lastIdleAt_ = now;
      return lastIdle_;
    }
  }
  // The monitor did not answer: the last reading, aged.
  return lastIdleAt_ < 0.0 ? 0.0 : lastIdle_ + (now - lastIdleAt_);
}

std::optional<std::string> WaylandSession::identityOf(const std::string& appId,
                                                      const std::string& wmClass,
                                                      std::optional<int> pid) {
  // New applications get desktop entries while we run; the folders are stat'ed on each change
  // of the window in front and read again only when they changed.
  if (index_.changedSinceScan()) index_ = index_.rescan();
  return desktop::waylandIdentity(appId, wmClass, pid, index_);
}

std::optional<std::string> WaylandSession::activeAppId() const {
  for (const desktop::WaylandToplevel& toplevel : display_->toplevels()) {
    if (toplevel.activated) return toplevel.appId;
  }
  return std::nullopt;
}

void WaylandSession::toplevelsChanged() {
  // A switch arrives as the old window's deactivation and then the new one's activation, each
  // completed on its own; the filter waits a moment before believing the "none" in between.
  auto active = activeAppId();
  if (active == active_) return;
  active_ = std::move(active);
  if (!active_) {
    filter_.noActiveWindow();
    return;
  }
  filter_.windowActivated();
  filter_.frontChanged(identityOf(*active_, {}, std::nullopt));
}

void WaylandSession::focusReported(const FocusReport& focus) {
  if (focus.none()) {
    filter_.noActiveWindow();
    return;
  }
  filter_.windowActivated();
  filter_.frontChanged(identityOf(focus.appId, focus.wmClass, focus.pid));
}

void WaylandSession::sessionLost() {
  if (lost_) return;
  lost_ = true;
  filter_.stop();
  if (watching_) {
    loop_.unwatch(display_->fd());
    watching_ = false;
  }
  if (lostHandler_) lostHandler_();
}

}  // namespace

std::unique_ptr<DesktopSession> connectWaylandSession(EventLoop& loop, std::string& missing) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  const std::string displayName = name != nullptr ? name : "";
  auto display = desktop::WaylandDisplay::connect();
  if (!display) {
    missing = displayName.empty() ? "$WAYLAND_DISPLAY is not set"
                                  : "the Wayland display " + displayName + " cannot be reached";
    return nullptr;
  }
  auto session = std::make_unique<WaylandSession>(loop, std::move(display));
  if (!session->start(missing)) {
    missing = "the Wayland display " + displayName + " " +
              (missing.empty() ? std::string("stopped answering") : missing);
    return nullptr;
  }
  return session;
}

}  // namespace quillmoss::tracker
