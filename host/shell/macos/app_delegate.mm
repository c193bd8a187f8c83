// AppDelegate: attaches the two bridges at launch, on the engine's messengers through our
// registrars, and keeps the application alive in the menu bar while the focus timer runs.
#import <AppKit/AppKit.h>
#import <FlutterMacOS/FlutterMacOS.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/event_loop.h"
#include "daily_data/macos/application_support.h"
#include "engine/macos/flutter_binding.h"
#include "engine/method_channel.h"
#include "menu_bar/menu_bar_bridge.h"
#include "names/app_names_and_icons.h"
#include "platform/macos/macos_platform.h"
#include "platform/user_folders.h"
#include "platform/wall_clock.h"
#include "usage/usage_tracker_bridge.h"

namespace {

using namespace quillmoss;

// What the bridges run on. Made once at launch and never destroyed: the bridges it serves are
// owned by registrars that live as long as the engine, which is the process.
struct HostPlatform {
  explicit HostPlatform(FlutterViewController* _Nonnull controller) : registry(controller) {}

  std::unique_ptr<EventLoop> loop = makeEventLoop();
  std::unique_ptr<host::StatusBar> statusBar = host::makeSystemStatusBar();
  std::unique_ptr<host::Application> application = host::makeSharedApplication();
  std::unique_ptr<host::Workspace> workspace = host::makeSharedWorkspace();
  host::AppNamesAndIcons catalog{*workspace};
  std::unique_ptr<host::ProcessRunner> processes = host::makeTaskProcessRunner();
  std::unique_ptr<host::Bundle> bundle = host::makeMainBundle();
  std::unique_ptr<host::TaskQueue> mainQueue = host::makeMainDispatchQueue();
  std::unique_ptr<host::TaskQueue> backgroundQueue = host::makeUserInitiatedQueue();
  host::SystemWallClock clock;
  engine::FlutterRegistryAdapter registry;
};

// The Application Support folder + "com.velbrook.quillmoss" and the LaunchAgents folder.
host::UsageTrackerPaths usagePaths() {
  host::UsageTrackerPaths paths;
  if (auto support = daily::applicationSupportFolder()) {
    paths.appSupportDir = *support / "com.velbrook.quillmoss";
    paths.dataDir = paths.appSupportDir / "usage";
    paths.daemonDest = paths.appSupportDir / host::UsageTrackerBridge::kDaemonName;
  }
  if (auto home = host::userHomeFolder()) paths.agentDir = *home / "Library/LaunchAgents";
  return paths;
}

[[noreturn]] void brokenInterfaceFile() {
  std::fputs("quillmoss: the main window holds no engine view controller\n", stderr);
  std::abort();
}

}  // namespace

@interface AppDelegate : FlutterAppDelegate
@end

@implementation AppDelegate

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  NSWindow* window = self.mainFlutterWindow;
  FlutterViewController* controller = (FlutterViewController*)window.contentViewController;
  // The interface file always provides both; anything else is a broken build.
  if (controller == nil || ![controller isKindOfClass:[FlutterViewController class]]) {
    brokenInterfaceFile();
  }

  auto* platform = new HostPlatform(controller);
  platform->loop->onTerminationSignal(
      [application = platform->application.get()](int) { application->terminate(); });

  engine::PluginRegistrar* menuBar = platform->registry.registrarForPlugin("MenuBarBridge");
  menuBar->addMethodCallDelegate(
      std::make_unique<host::MenuBarBridge>(host::MenuBarBridge::Services{
          *platform->loop, *platform->statusBar, *platform->application, platform->clock}),
      std::make_unique<engine::MethodChannel>(menuBar->messenger(), host::kMenuBarChannel));

  host::UsageTrackerServices usage;
  usage.mainQueue = platform->mainQueue.get();
  usage.backgroundQueue = platform->backgroundQueue.get();
  usage.processes = platform->processes.get();
  usage.bundle = platform->bundle.get();
  usage.catalog = &platform->catalog;
  usage.paths = usagePaths();
  engine::PluginRegistrar* tracker = platform->registry.registrarForPlugin("UsageTrackerBridge");
  tracker->addMethodCallDelegate(std::make_unique<host::UsageTrackerBridge>(std::move(usage)),
                                 std::make_unique<engine::MethodChannel>(
                                     tracker->messenger(), host::UsageTrackerBridge::kChannelName));

  [super applicationDidFinishLaunching:notification];
}

- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender {
  if (!quillmoss::host::MenuBarBridge::timerRunning) return YES;
  // Menu-bar-only while the ticker runs: no Dock icon, the window and engine kept.
  [sender setActivationPolicy:NSApplicationActivationPolicyAccessory];
  return NO;
}

- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
  if (flag) return YES;
  [sender setActivationPolicy:NSApplicationActivationPolicyRegular];
  for (NSWindow* window in sender.windows) {
    if ([window isMemberOfClass:NSClassFromString(@"MainFlutterWindow")]) {
      [window makeKeyAndOrderFront:nil];
      break;
    }
  }
  return YES;
}

- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app {
  return YES;
}

@end
