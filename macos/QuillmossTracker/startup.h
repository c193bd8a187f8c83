// Start-up of the daemon, in two phases so that the caller can let a termination signal
// simply end the process while the day is still being loaded.
#pragma once

#include <optional>
#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

// Waits for the data folder's lock, sets currentDay, loads that day, times the frontmost
// application from now. Fails, with nothing started, when something other than a file sits at
// the lock's name; a folder that cannot be made yet is only retried at each write.
Status startTracker(TrackerState& state);

// Schedules the flush and tab timers, observes activations and takes termination signals.
void scheduleCallbacks(TrackerState& state);

// The one line to leave on stderr when the run loop has ended: another tracker took over, or the
// final saves failed. None after a clean end.
std::optional<std::string> exitNote(const TrackerState& state);

}  // namespace quillmoss::tracker
