// What the application delegate does on every platform (the Linux shell's AppDelegate and the
// macOS one call these): attach the two bridges at launch; quit with the last window unless the
// focus timer runs, then stay in the menu bar only; on reopen bring the main window back.
#pragma once

#include "engine/plugin_registrar.h"
#include "menu_bar/menu_bar_bridge.h"
#include "platform/application.h"
#include "usage/usage_tracker_bridge.h"

namespace quillmoss::host {

// What the bridges made at launch need from the platform; it must outlive the process's run.
struct BridgeServices {
  MenuBarBridge::Services menuBar;
  UsageTrackerServices usageTracker;
};

// Each bridge with its channel goes to its registrar, which owns both from then on.
void registerBridges(engine::PluginRegistry& registry, BridgeServices services);

// True to quit; false while the timer runs, and the application leaves the Dock (its window
// and engine kept).
bool terminateAfterLastWindowClosed(Application& application, bool timerRunning);

// Without a visible window the application returns to the Dock and its main window (the one
// of class MainFlutterWindow) comes to the front. Always true: the reopen is handled.
bool reopen(Application& application, bool hasVisibleWindows);

}  // namespace quillmoss::host
