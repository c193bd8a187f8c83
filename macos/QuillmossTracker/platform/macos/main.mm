// QuillmossTracker on macOS: the tracker's logic on NSWorkspace, CoreGraphics, NSAppleScript
// and the main run loop.
#import <Foundation/Foundation.h>

#include <signal.h>

#include <cstdio>

#include "callbacks.h"
#include "core/event_loop.h"
#include "daily_data/daily_data.h"
#include "platform/macos/macos_tracker_ports.h"
#include "startup.h"
#include "tracker_state.h"

using namespace quillmoss::tracker;

int main() {
  @autoreleasepool {
    const auto dataDir = quillmoss::daily::dataDirectory();
    if (!dataDir) {
      std::fputs("QuillmossTracker: the system names no Application Support folder\n", stderr);
      return 1;
    }
    const auto loop = quillmoss::makeEventLoop();
    const auto clock = makeMacosClock();
    const auto idle = makeMacosIdleSource();
    const auto workspace = makeMacosWorkspace();
    const auto scripts = makeAppleScriptRunner();

    TrackerState state{
        .clock = *clock,
        .idle = *idle,
        .workspace = *workspace,
        .scripts = *scripts,
        .loop = *loop,
        .kDataDir = *dataDir,
    };
    // Nothing is timed yet: a signal while we wait for the lock or load the day just ends us.
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    if (auto started = startTracker(state); !started) {
      std::fprintf(stderr, "QuillmossTracker: %s\n", started.error().message.c_str());
      return 1;
    }
    // From here on they reach the loop's dispatch sources only.
    ::signal(SIGTERM, SIG_IGN);
    ::signal(SIGINT, SIG_IGN);
    scheduleCallbacks(state);
    const int status = loop->run();
    if (auto note = exitNote(state)) std::fprintf(stderr, "QuillmossTracker: %s\n", note->c_str());
    return status;
  }
}
