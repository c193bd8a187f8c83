// The host's ports on macOS: status bar, application and windows, workspace and images,
// bundle, process runner and the background queue (the main queue is the event loop's). All
// but the queue and the process runner belong to the main thread.
#pragma once

#include <memory>

#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/process_runner.h"
#include "platform/status_bar.h"
#include "platform/task_queue.h"
#include "platform/workspace.h"

namespace quillmoss::host {

// NSStatusBar's system status bar.
std::unique_ptr<StatusBar> makeSystemStatusBar();
// NSApplication's shared application and its windows.
std::unique_ptr<Application> makeSharedApplication();
// NSWorkspace's running and installed applications and file icons, drawn through NSImage.
std::unique_ptr<Workspace> makeSharedWorkspace();
// NSBundle's main bundle.
std::unique_ptr<Bundle> makeMainBundle();
// NSTask on /usr/bin/env, stopped after 30 s or 16 MiB of output.
std::unique_ptr<ProcessRunner> makeTaskProcessRunner();
// The global concurrent queue with user-initiated quality of service.
std::unique_ptr<TaskQueue> makeUserInitiatedQueue();

}  // namespace quillmoss::host
