// quillmoss: the host application. Serves the UI engine's messenger on its socket, runs the
// shell on the in-process application model, and ends on terminate, SIGTERM or SIGINT.
#include <malloc.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <optional>

#include "engine/socket_messenger.h"
#include "names/app_names_and_icons.h"
#include "platform/appkit_model/model_application.h"
#include "platform/appkit_model/model_status_bar.h"
#include "platform/linux_usage/linux_bundle.h"
#include "platform/linux_usage/linux_process_runner.h"
#include "platform/linux_workspace/icon_theme.h"
#include "platform/linux_workspace/installed_applications.h"
#include "platform/linux_workspace/linux_workspace.h"
#include "platform/loop/background_queue.h"
#include "platform/loop/linux_main_loop.h"
#include "platform/wall_clock.h"
#include "posix/unique_fd.h"
#include "shell/application_main.h"

namespace {

using namespace quillmoss;

// SIGTERM and SIGINT arrive as a readable descriptor on the main loop. They are blocked
// before any thread starts, so no other thread takes them; children get a clean mask from
// the process runner.
posix::UniqueFd terminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return posix::UniqueFd();
  return posix::UniqueFd(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
}

}  // namespace

int main() {
  // The day queries build and drop trees of several MB on every call. glibc would hand that
  // memory back to the kernel each time and fault it in again page by page on the next call
  // (most of a heavy day's round trip); keep freed memory in the heap instead.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // Before any thread: launchctl and friends come from the bundle's Helpers folder.
  host::putBundleHelpersFirstOnPath();
  posix::UniqueFd signals = terminationSignals();
  if (!signals) return 1;

  host::LinuxMainLoop loop;
  engine::SocketMessenger messenger(loop);
  if (!messenger.listen()) return 1;

  appkit_model::ModelStatusBar statusBar;
  host::SystemWallClock clock;
  host::XdgInstalledApplications installed;
  host::IconTheme iconTheme(host::iconThemeFoldersFromEnvironment());
  host::X11RunningWindows running(installed);
  host::LinuxWorkspace workspace(running, installed, iconTheme);
  host::AppNamesAndIcons catalog(workspace);
  host::LinuxProcessRunner processes;
  host::LinuxBundle bundle =
      host::LinuxBundle::ofRunningExecutable().value_or(host::LinuxBundle(std::filesystem::path()));

  appkit_model::ModelApplication application(loop);
  // Declared after the application so that it is joined, its replies posted, while the
  // bridges that wait for them still exist.
  host::BackgroundQueue background;

  loop.watchReadable(signals.get(), [&] {
    signalfd_siginfo info;
    while (::read(signals.get(), &info, sizeof info) == sizeof info) {
    }
    application.terminate();
  });

  host::UsageTrackerServices usage;
  usage.mainQueue = &loop;
  usage.backgroundQueue = &background;
  usage.processes = &processes;
  usage.bundle = &bundle;
  usage.catalog = &catalog;

  host::ShellEnvironment environment{
      &application, host::FlutterProject{&messenger},
      host::BridgeServices{host::MenuBarBridge::Services{loop, statusBar, application, clock},
                           usage}};
  const int status = host::applicationMain(environment);
  loop.unwatch(signals.get());
  return status;
}
