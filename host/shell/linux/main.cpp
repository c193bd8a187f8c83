// quillmoss: the host application. Serves the UI engine's messenger on its socket, runs the
// shell on the in-process application model, and ends on terminate, SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <memory>

#include "core/event_loop.h"
#include "daily_data/daily_data.h"
#include "daily_data/day_document.h"
#include "engine/socket_messenger.h"
#include "linux_desktop/glib_context.h"
#include "names/app_names_and_icons.h"
#include "platform/linux/app_model/model_application.h"
#include "platform/linux/background_queue.h"
#include "platform/linux/heap_release.h"
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

// Names and icons of applications, owning the desktop sources they come from.
class DesktopCatalog final : public host::AppCatalog,
                             public std::enable_shared_from_this<DesktopCatalog> {
 public:
  // The loop outlives the catalog; the bundle holds the script the host loads into KWin.
  DesktopCatalog(EventLoop& loop, const std::filesystem::path& contents)
      : loop_(loop),
        running_(loop, installed_, contents / "Resources" / "kwin" / "quillmoss-windows.js") {}

  // So that the first name costs no more than later ones: the desktop entries are scanned now,
  // off the main thread, and the windows are then listed once (on it, where their connection
  // lives), which leaves only what changes to be asked about later.
  void prepare() {
    installed_.scanAhead([&loop = loop_, weak = weak_from_this()] {
      loop.post([weak] {
        if (auto self = weak.lock()) self->running_.list();
      });
    });
  }

  std::optional<std::string> appName(const std::string& key) override {
    return names_.appName(key);
  }
  std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& key) override {
    return names_.appIconPng(key);
  }

 private:
  EventLoop& loop_;
  host::XdgInstalledApplications installed_;
  host::IconTheme iconTheme_{host::iconThemeFoldersFromEnvironment};
  host::SessionRunningWindows running_;
  host::LinuxWorkspace workspace_{running_, installed_, iconTheme_};
  host::AppNamesAndIcons names_{workspace_};
};

}  // namespace

int main() {
  host::configureHeap();
  // The kept X connection writes with plain writev: a server that went away must give an
  // error there, not end the host. The host's own sockets already send without the signal.
  ::signal(SIGPIPE, SIG_IGN);
  // Before any thread: launchctl and friends come from the bundle's Helpers folder.
  host::putBundleHelpersFirstOnPath();

  // The program's frame: everything below may post to it until it is gone.
  const auto loop = makeEventLoop();
  // The focus timer shows in the panels' trays; a click on it opens the day, since there is
  // no window to bring back here. GDBus's work runs on the loop through this context, which
  // outlives every other user of GLib's contexts (the names' window lists among them).
  desktop::GlibContext glib(*loop);
  const auto bundle =
      std::make_shared<host::LinuxBundle>(host::LinuxBundle::ofRunningExecutable().value_or(
          host::LinuxBundle(std::filesystem::path())));
  // Before the socket opens, so that its scan is well under way when the first client comes.
  const auto catalog = std::make_shared<DesktopCatalog>(*loop, bundle->contents());
  catalog->prepare();
  engine::SocketMessenger messenger(*loop);
  if (auto listening = messenger.listen(); !listening) {
    std::fprintf(stderr, "quillmoss: %s\n", listening.error().message.c_str());
    return 1;
  }

  host::MainQueue mainQueue(*loop);
  host::BackgroundQueue background;
  // Every reply may have left memory behind: a day's file, its parse, the reply; kept parsers
  // go too once the host is quiet.
  const auto parsers = std::make_shared<daily::ParserPool>();
  host::HeapRelease heapRelease(*loop, background, [parsers] {
    parsers->clear();
    host::releaseFreeHeap();
  });
  messenger.onMemoryReleased(0, [&heapRelease] { heapRelease.afterReply(); });
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
  usage.parsers = parsers;
  const auto processes = std::make_shared<host::LinuxProcessRunner>();
  usage.processes = processes;
  usage.bundle = bundle;
  usage.catalog = catalog;

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
