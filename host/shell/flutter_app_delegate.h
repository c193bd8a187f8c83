// The UI engine's application delegate base: the main window outlet and the base launch step.
#pragma once

#include "platform/application_delegate.h"
#include "platform/window.h"

namespace quillmoss::host {

class FlutterAppDelegate : public ApplicationDelegate {
 public:
  // The interface file connects the outlet; the window stays owned by the application.
  Window* mainFlutterWindow() const { return mainFlutterWindow_; }
  void setMainFlutterWindow(Window* window) { mainFlutterWindow_ = window; }

  // The base step ends the launch; subclasses call it last.
  void applicationDidFinishLaunching(Application& application) override;
  bool applicationShouldTerminateAfterLastWindowClosed(Application&) override { return false; }
  bool applicationShouldHandleReopen(Application&, bool) override { return true; }
  bool applicationSupportsSecureRestorableState(Application&) override { return false; }

  bool hasFinishedLaunching() const { return finishedLaunching_; }

 private:
  Window* mainFlutterWindow_ = nullptr;
  bool finishedLaunching_ = false;
};

}  // namespace quillmoss::host
