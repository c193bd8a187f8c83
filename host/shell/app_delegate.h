// AppDelegate: attaches the two bridges at launch and keeps the application alive in the menu
// bar while the focus timer runs.
#pragma once

#include "menu_bar/menu_bar_bridge.h"
#include "shell/flutter_app_delegate.h"
#include "usage/usage_tracker_bridge.h"

namespace quillmoss::host {

// What the bridges made at launch need from the platform; it must outlive the process's run.
struct BridgeServices {
  MenuBarBridge::Services menuBar;
  UsageTrackerServices usageTracker;
};

class AppDelegate : public FlutterAppDelegate {
 public:
  explicit AppDelegate(BridgeServices services) : services_(std::move(services)) {}

  void applicationDidFinishLaunching(Application& application) override;
  bool applicationShouldTerminateAfterLastWindowClosed(Application& application) override;
  bool applicationShouldHandleReopen(Application& application, bool hasVisibleWindows) override;
  bool applicationSupportsSecureRestorableState(Application&) override { return true; }

 private:
  BridgeServices services_;
};

}  // namespace quillmoss::host
