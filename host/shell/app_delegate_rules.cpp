// The delegate's rules; see app_delegate_rules.h.
#include "shell/app_delegate_rules.h"

#include "platform/window.h"

namespace quillmoss::host {

void registerBridges(engine::PluginRegistry& registry, BridgeServices services) {
  MenuBarBridge::registerWith(registry.registrarForPlugin("MenuBarBridge"), services.menuBar);
  UsageTrackerBridge::registerWith(registry.registrarForPlugin("UsageTrackerBridge"),
                                   std::move(services.usageTracker));
}

bool terminateAfterLastWindowClosed(Application& application, bool timerRunning) {
  if (!timerRunning) return true;
  application.setActivationPolicy(ActivationPolicy::accessory);
  return false;
}

bool reopen(Application& application, bool hasVisibleWindows) {
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
