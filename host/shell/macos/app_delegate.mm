// AppDelegate on AppKit: the shared rules (shell/app_delegate_rules.h), with the bridges on the
// engine's messengers through our registrars.
#import <AppKit/AppKit.h>
#import <FlutterMacOS/FlutterMacOS.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/event_loop.h"
#include "engine/macos/flutter_binding.h"
#include "names/app_names_and_icons.h"
#include "platform/macos/macos_platform.h"
#include "platform/task_queue.h"
#include "platform/wall_clock.h"
#include "shell/app_delegate_rules.h"

namespace {

using namespace quillmoss;

// Names and icons of applications, owning the workspace they come from.
class WorkspaceCatalog final : public host::AppCatalog {
 public:
  std::optional<std::string> appName(const std::string& key) override {
    return names_.appName(key);
  }
  std::optional<std::vector<std::uint8_t>> appIconPng(const std::string& key) override {
    return names_.appIconPng(key);
  }

 private:
  std::unique_ptr<host::Workspace> workspace_ = host::makeSharedWorkspace();
  host::AppNamesAndIcons names_{*workspace_};
};

// What the bridges run on, made at launch. The delegate keeps it for the life of the process,
// as the engine's registrars keep the bridges.
struct HostPlatform {
  explicit HostPlatform(FlutterViewController* _Nonnull controller) : registry(controller) {}

  std::unique_ptr<EventLoop> loop = makeEventLoop();
  host::MainQueue mainQueue{*loop};
  std::unique_ptr<host::TaskQueue> backgroundQueue = host::makeUserInitiatedQueue();
  std::unique_ptr<host::StatusBar> statusBar = host::makeSystemStatusBar();
  std::unique_ptr<host::Application> application = host::makeSharedApplication();
  host::SystemWallClock clock;
  std::shared_ptr<bool> timerRunning = std::make_shared<bool>(false);
  engine::FlutterRegistryAdapter registry;
};

[[noreturn]] void brokenInterfaceFile() {
  std::fputs("quillmoss: the main window holds no engine view controller\n", stderr);
  std::abort();
}

}  // namespace

@interface AppDelegate : FlutterAppDelegate
@end

@implementation AppDelegate {
  // The one process-wide timer flag lives in the platform, shared with the menu bar bridge.
  std::unique_ptr<HostPlatform> _platform;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  NSWindow* window = self.mainFlutterWindow;
  FlutterViewController* controller = (FlutterViewController*)window.contentViewController;
  // The interface file always provides both; anything else is a broken build.
  if (controller == nil || ![controller isKindOfClass:[FlutterViewController class]]) {
    brokenInterfaceFile();
  }

  _platform = std::make_unique<HostPlatform>(controller);
  HostPlatform& platform = *_platform;
  platform.loop->onTerminationSignal(
      [application = platform.application.get()](int) { application->terminate(); });

  host::UsageTrackerServices usage;
  usage.mainQueue = &platform.mainQueue;
  usage.backgroundQueue = platform.backgroundQueue.get();
  usage.processes = host::makeTaskProcessRunner();
  usage.bundle = host::makeMainBundle();
  usage.catalog = std::make_shared<WorkspaceCatalog>();
  host::registerBridges(
      platform.registry,
      host::BridgeServices{
          host::MenuBarBridge::Services{*platform.loop, *platform.statusBar, *platform.application,
                                        platform.clock, platform.timerRunning},
          std::move(usage)});

  // The engine's FlutterAppDelegate has no launch step of its own (only the protocol declares
  // it); sending it one it lacks would raise at every launch.
  if ([FlutterAppDelegate instancesRespondToSelector:_cmd]) {
    [super applicationDidFinishLaunching:notification];
  }
}

- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender {
  if (!_platform) return YES;
  return host::terminateAfterLastWindowClosed(*_platform->application, *_platform->timerRunning);
}

- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
  if (!_platform) return YES;
  return host::reopen(*_platform->application, flag);
}

- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app {
  return YES;
}

@end
