// Launch: the bridges by hand after the plug-ins, the base step last. Lifetime: quit with the
// last window unless the ticker runs; reopen brings the same main window back.
#include "shell/app_delegate.h"

#include <cstdlib>

#include "engine/method_channel.h"
#include "shell/flutter_view_controller.h"

namespace quillmoss::host {

void AppDelegate::applicationDidFinishLaunching(Application& application) {
  Window* window = mainFlutterWindow();
  auto* controller =
      window ? dynamic_cast<FlutterViewController*>(window->contentViewController()) : nullptr;
  // The interface file always provides both; anything else is a broken build.
  if (!controller) std::abort();

  engine::PluginRegistrar* menuBar = controller->registrarForPlugin("MenuBarBridge");
  auto menuBarChannel =
      std::make_unique<engine::MethodChannel>(menuBar->messenger(), kMenuBarChannel);
  menuBar->addMethodCallDelegate(std::make_unique<MenuBarBridge>(services_.menuBar),
                                 std::move(menuBarChannel));

  engine::PluginRegistrar* usage = controller->registrarForPlugin("UsageTrackerBridge");
  auto usageChannel =
      std::make_unique<engine::MethodChannel>(usage->messenger(), UsageTrackerBridge::kChannelName);
  usage->addMethodCallDelegate(std::make_unique<UsageTrackerBridge>(services_.usageTracker),
                               std::move(usageChannel));

  FlutterAppDelegate::applicationDidFinishLaunching(application);
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed(Application& application) {
  if (!*services_.menuBar.timerRunning) return true;
  // Menu-bar-only while the ticker runs: no Dock icon, the window and engine kept.
  application.setActivationPolicy(ActivationPolicy::accessory);
  return false;
}

bool AppDelegate::applicationShouldHandleReopen(Application& application, bool hasVisibleWindows) {
  if (hasVisibleWindows) return true;
  application.setActivationPolicy(ActivationPolicy::regular);
  for (Window* window : application.windows()) {
    if (window->className() == "MainFlutterWindow") {
      window->makeKeyAndOrderFront();
      break;
    }
  }
  return true;
}

}  // namespace quillmoss::host
