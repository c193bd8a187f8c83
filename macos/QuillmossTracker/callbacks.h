// The daemon's four callbacks, run one at a time by its run loop.
#pragma once

#include <optional>
#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

// Every kFlushInterval: change of day, credit, retry of unsaved finished days, and the
// current day's three files (activity sampled between the first and the second).
void onFlushTimer(TrackerState& state);

// An application became frontmost; bundleId is its identifier, if it has one.
void onAppActivated(TrackerState& state, const std::optional<std::string>& bundleId);

// For a browser whose tab is asked without waiting, the key just formed is its bare identifier;
// the answer, when it comes and nothing changed the key meanwhile, puts the domain into it.
void completeKeyLater(TrackerState& state);

// Every kTabSampleInterval: follows a change of tab in a frontmost browser (for one that answers
// later, when its answer comes).
void onTabTimer(TrackerState& state);

// SIGTERM, SIGINT or the end of the desktop session: the final credit and saves under
// currentDay, then the run loop is asked to end with status 0. Only the first call acts.
void onTerminationSignal(TrackerState& state, int signal);

}  // namespace quillmoss::tracker
