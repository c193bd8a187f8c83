// The day's two timelines; only the last element of either list is ever changed.
#include "timelines.h"

namespace quillmoss::tracker {

void recordSegment(TrackerState& state, const std::string& key, double from, double to) {
  if (!(to > from)) return;
  if (!state.segmentSpans.empty()) {
    daily::Segment& last = state.segmentSpans.back();
    // Loaded data may hold anything in a segment; only a well-formed one is merged into.
    if (last.size() >= 3) {
      const std::string* lastKey = last[0].asString();
      if (lastKey && *lastKey == key && last[2].isNumber() &&
          !(from - last[2].asDouble() > state.kSegmentMergeGap)) {
        last[2] = to;
        return;
      }
    }
  }
  state.segmentSpans.push_back(daily::Segment{key, from, to});
}

void recordActivity(TrackerState& state) {
  if (state.kIdleThreshold <= state.idle.secondsSinceLastInput()) return;
  const double now = state.clock.now();
  if (!state.activityIntervals.empty()) {
    daily::ActivityInterval& last = state.activityIntervals.back();
    if (last.size() >= 2 && now - last[1] <= state.kActivityMergeGap) {
      last[1] = now;
      return;
    }
  }
  state.activityIntervals.push_back(daily::ActivityInterval{now, now});
}

}  // namespace quillmoss::tracker
