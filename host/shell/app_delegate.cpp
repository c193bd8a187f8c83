// The Linux shell's delegate: the shared rules (app_delegate_rules.h), the bridges after the
// plug-ins and the base step last.
#include "shell/app_delegate.h"

#include <cstdlib>

#include "shell/flutter_view_controller.h"

namespace quillmoss::host {

void AppDelegate::applicationDidFinishLaunching(Application& application) {
  Window* window = mainFlutterWindow();
  auto* controller =
      window ? dynamic_cast<FlutterViewController*>(window->contentViewController()) : nullptr;
  // The interface file always provides both; anything else is a broken build.
  if (!controller) std::abort();
  registerBridges(*controller, services_);
  FlutterAppDelegate::applicationDidFinishLaunching(application);
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed(Application& application) {
  return terminateAfterLastWindowClosed(application, *services_.menuBar.timerRunning);
}

bool AppDelegate::applicationShouldHandleReopen(Application& application, bool hasVisibleWindows) {
  return reopen(application, hasVisibleWindows);
}

}  // namespace quillmoss::host
