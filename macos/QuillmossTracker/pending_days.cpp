// Days in and out of memory.
#include "pending_days.h"

#include <algorithm>
#include <utility>

#include "day_files.h"

namespace quillmoss::tracker {

void saveEndingDay(TrackerState& state) {
  const std::string& day = state.currentDay;
  const bool usageSaved = save(state, state.usageData, day).hasValue();
  const bool activitySaved = saveActivity(state, state.activityIntervals, day).hasValue();
  const bool segmentsSaved = saveSegments(state, state.segmentSpans, day).hasValue();
  if (usageSaved && activitySaved && segmentsSaved) return;
  state.pendingDays.push_back(PendingDay{
      .day = day,
      .usage = std::move(state.usageData),
      .activity = std::move(state.activityIntervals),
      .segments = std::move(state.segmentSpans),
      .usageUnsaved = !usageSaved,
      .activityUnsaved = !activitySaved,
      .segmentsUnsaved = !segmentsSaved,
  });
}

void retryPendingDays(TrackerState& state) {
  for (PendingDay& pending : state.pendingDays) {
    if (pending.usageUnsaved) pending.usageUnsaved = !save(state, pending.usage, pending.day);
    if (pending.activityUnsaved) {
      pending.activityUnsaved = !saveActivity(state, pending.activity, pending.day);
    }
    if (pending.segmentsUnsaved) {
      pending.segmentsUnsaved = !saveSegments(state, pending.segments, pending.day);
    }
  }
  std::erase_if(state.pendingDays, [](const PendingDay& pending) {
    return !pending.usageUnsaved && !pending.activityUnsaved && !pending.segmentsUnsaved;
  });
}

void enterDay(TrackerState& state, const std::string& day) {
  auto held = std::find_if(state.pendingDays.begin(), state.pendingDays.end(),
                           [&](const PendingDay& pending) { return pending.day == day; });
  if (held != state.pendingDays.end()) {
    state.usageData = std::move(held->usage);
    state.activityIntervals = std::move(held->activity);
    state.segmentSpans = std::move(held->segments);
    state.pendingDays.erase(held);
    return;
  }
  DayData data = loadDay(state, day);
  state.usageData = std::move(data.usage);
  state.activityIntervals = std::move(data.activity);
  state.segmentSpans = std::move(data.segments);
}

}  // namespace quillmoss::tracker
