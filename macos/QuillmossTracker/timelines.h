// The day's two timelines: usage segments per key and intervals of user activity.
#pragma once

#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

// Extends the last segment when it has the same key and ends at most kSegmentMergeGap
// before from; otherwise appends [key, from, to]. An empty or reversed stretch is ignored.
void recordSegment(TrackerState& state, const std::string& key, double from, double to);

// When the user is active: extends the last interval to now if it ended at most
// kActivityMergeGap ago, otherwise appends [now, now].
void recordActivity(TrackerState& state);

}  // namespace quillmoss::tracker
