// quillmoss: the host application. Serves the UI engine's messenger on its socket, runs the
// shell on the in-process application model, and ends on terminate, SIGTERM or SIGINT.
#include <malloc.h>
#include <signal.h>

#include <cstdio>
#include <memory>

#include "core/event_loop.h"
#include "daily_data/daily_data.h"
#include "engine/socket_messenger.h"
#include "linux_desktop/glib_context.h"
#include "names/app_names_and_icons.h"
#include "platform/linux/app_model/model_application.h"
#include "platform/linux/background_queue.h"
#include "platform/linux/icon_theme.h"
#include "platform/linux/installed_applications.h"
#include "platform/linux/linux_bundle.h"
#include "platform/linux/linux_process_runner.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/session_running_windows.h"
#include "platform/linux/today_report.h"
#include "platform/linux/tray/status_notifier_bar.h"
#include "platform/wall_clock.h"
#include "shell/application_main.h"

using namespace quillmoss;

namespace {

// Today's page, made again on each click on the tray item; nothing to keep.
std::filesystem::path todayReportPage() {
  const auto cache = daily::userFolder("XDG_CACHE_HOME", ".cache");
  return cache ? *cache / "com.velbrook.quillmoss" / "today.html" : std::filesystem::path();
}

// Replies far above a heavy day's (a few hundred KB).
constexpr std::size_t kLargeReplyBytes = 2u << 20;
constexpr double kTrimDelaySeconds = 0.5;

// Names and icons of applications, owning the desktop sources they come from.
class DesktopCatalog final : public host::AppCatalog {
 public:
  // The loop outlives the catalog; the bundle holds the script the host loads into KWin.
  DesktopCatalog(EventLoop& loop, const std::filesystem::path& contents)
      : running_(loop, installed_, contents / "Resources" / "kwin" / "quillmoss-windows.js") {}

  std::optional<std::string> appName(const std::string& key) override {
    return names_.appName(key);
  }
  std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& key) override {
    return names_.appIconPng(key);
  }

 private:
  host::XdgInstalledApplications installed_;
  host::IconTheme iconTheme_{host::iconThemeFoldersFromEnvironment};
  host::SessionRunningWindows running_;
  host::LinuxWorkspace workspace_{running_, installed_, iconTheme_};
  host::AppNamesAndIcons names_{workspace_};
};

}  // namespace

int main() {
  // The day queries build and drop trees of several MB on every call. glibc would hand that
  // memory back to the kernel each time and fault it in again page by page on the next call
  // (most of a heavy day's round trip); keep freed memory in the heap instead. Replies far
  // above that size are rare; what they took is given back below.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // The kept X connection writes with plain writev: a server that went away must give an
  // error there, not end the host. The host's own sockets already send without the signal.
  ::signal(SIGPIPE, SIG_IGN);
  // Before any thread: launchctl and friends come from the bundle's Helpers folder.
  host::putBundleHelpersFirstOnPath();

  // The program's frame: everything below may post to it until it is gone.
  const auto loop = makeEventLoop();
  EventLoop::TimerId trimTimer = 0;
  engine::SocketMessenger messenger(*loop);
  if (auto listening = messenger.listen(); !listening) {
    std::fprintf(stderr, "quillmoss: %s\n", listening.error().message.c_str());
    return 1;
  }

  // After a large reply or large client buffers, and a moment without more, the heap is
  // trimmed; every arena, since the workers build the replies.
  messenger.onMemoryReleased(kLargeReplyBytes, [&loop = *loop, &trimTimer] {
    loop.cancel(trimTimer);
    trimTimer = loop.scheduleOnce(kTrimDelaySeconds, [&trimTimer] {
      trimTimer = 0;
      malloc_trim(0);
    });
  });

  host::MainQueue mainQueue(*loop);
  host::BackgroundQueue background;
  const auto bundle =
      std::make_shared<host::LinuxBundle>(host::LinuxBundle::ofRunningExecutable().value_or(
          host::LinuxBundle(std::filesystem::path())));
  // The focus timer shows in the panels' trays; a click on it opens the day, since there is
  // no window to bring back here. GDBus's work runs on the loop through this context, which
  // outlives every other user of GLib's contexts.
  desktop::GlibContext glib(*loop);
  host::TodayReport todayReport(*loop, todayReportPage());
  host::StatusNotifierBar statusBar(
      *loop, glib,
      {"com.velbrook.quillmoss",
       host::trayIconFromTheme(bundle->contents() / "Resources" / "icons",
                               "com.velbrook.quillmoss"),
       "Click for today's report"},
      [&todayReport] { todayReport.open(); });
  host::SystemWallClock clock;
  appkit_model::ModelApplication application(*loop);
  loop->onTerminationSignal([&application](int) { application.terminate(); });

  host::UsageTrackerServices usage;
  usage.mainQueue = &mainQueue;
  usage.backgroundQueue = &background;
  const auto processes = std::make_shared<host::LinuxProcessRunner>();
  usage.processes = processes;
  usage.bundle = bundle;
  usage.catalog = std::make_shared<DesktopCatalog>(*loop, bundle->contents());

  host::ShellEnvironment environment{
      &application, host::FlutterProject{&messenger},
      host::BridgeServices{host::MenuBarBridge::Services{*loop, statusBar, application, clock},
                           usage}};
  const int status = host::applicationMain(environment);
  // Ending: children are ended now, so that the workers waiting on them are free at once;
  // work not started is dropped with the background queue.
  processes->endAll();
  return status;
}
