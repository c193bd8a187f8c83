// Start-up of the daemon, in two phases so that the caller can let a termination signal
// simply end the process while the day is still being loaded.
#pragma once

#include "tracker_state.h"

namespace quillmoss::tracker {

// Waits for the data folder's lock, sets currentDay, loads that day, times the frontmost
// application from now. Fails, with nothing started, when the lock cannot be had.
Status startTracker(TrackerState& state);

// Schedules the flush and tab timers, observes activations and takes termination signals.
void scheduleCallbacks(TrackerState& state);

}  // namespace quillmoss::tracker
