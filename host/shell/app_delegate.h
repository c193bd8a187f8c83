// AppDelegate: attaches the two bridges at launch and keeps the application alive in the menu
// bar while the focus timer runs.
#pragma once

#include "shell/app_delegate_rules.h"
#include "shell/flutter_app_delegate.h"

namespace quillmoss::host {

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
