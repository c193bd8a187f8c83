// The process entry sequence on the in-process application model: the main interface file
// (AppDelegate and MainFlutterWindow), the window's awakeFromNib, then the launch.
#pragma once

#include <memory>

#include "platform/linux/app_model/model_application.h"
#include "shell/app_delegate.h"
#include "shell/main_flutter_window.h"

namespace quillmoss::host {

// The main window's frame, style and backing as the interface file gives them.
inline constexpr Rect kMainWindowFrame{0, 0, 800, 600};
inline constexpr std::uint64_t kMainWindowStyle =
    1 | 2 | 4 | 8;  // titled, closable, mini, resizable

struct ShellEnvironment {
  appkit_model::ModelApplication* application = nullptr;
  FlutterProject project;
  BridgeServices bridges;
};

// What the interface file made; the delegate lives as long as the process.
struct MainInterface {
  std::unique_ptr<AppDelegate> delegate;
  MainFlutterWindow* window = nullptr;  // owned by the application
};

// Loads the interface file and finishes launching; the application is then ready to run.
MainInterface launchApplication(const ShellEnvironment& environment);

// The counterpart of NSApplicationMain: launches, then runs the main loop until the
// application terminates, and returns the loop's status.
int applicationMain(const ShellEnvironment& environment);

}  // namespace quillmoss::host
