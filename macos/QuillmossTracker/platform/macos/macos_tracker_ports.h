// The tracker's ports on macOS: clocks, input idle time, the frontmost application and its
// activations, and browser scripting. Each lives on the main thread.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/frontmost_app.h"
#include "platform/idle.h"
#include "platform/scripting.h"

namespace quillmoss::tracker {

// Wall time, the day through a "yyyy-MM-dd" date formatter in the system's zone as it is at each
// call, and the time asleep as the continuous clock (counts sleep) minus the absolute clock
// (does not).
std::unique_ptr<Clock> makeMacosClock();
// CGEventSourceSecondsSinceLastEventType over the HID system state and any input event.
std::unique_ptr<IdleSource> makeMacosIdleSource();
// NSWorkspace's frontmost application and its activation notifications on the main queue.
// The observer is removed with the object.
std::unique_ptr<Workspace> makeMacosWorkspace();
// NSAppleScript, compiled and run afresh for every call.
std::unique_ptr<ScriptRunner> makeAppleScriptRunner();

}  // namespace quillmoss::tracker
