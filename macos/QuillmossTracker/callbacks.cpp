// The daemon's four callbacks.
#include "callbacks.h"

#include "accounting.h"
#include "day_files.h"
#include "pending_days.h"
#include "timelines.h"

namespace quillmoss::tracker {

void onFlushTimer(TrackerState& state) {
  retryPendingDays(state);
  rollDayIfNeeded(state);
  flushCurrentApp(state);
  // A write that fails is made again at the next tick, from memory; the daemon says nothing.
  (void)save(state, state.usageData, state.currentDay);
  recordActivity(state);
  (void)saveActivity(state, state.activityIntervals, state.currentDay);
  (void)saveSegments(state, state.segmentSpans, state.currentDay);
}

void onAppActivated(TrackerState& state, const std::optional<std::string>& bundleId) {
  rollDayIfNeeded(state);
  flushCurrentApp(state);
  state.activeBundle = usageKey(state, bundleId);
  restartTiming(state);
}

void onTabTimer(TrackerState& state) {
  const std::optional<std::string> bundleId = state.workspace.frontmostBundleId();
  if (!bundleId || !state.kBrowserTabScripts.contains(*bundleId)) return;
  if (!(state.idle.secondsSinceLastInput() < state.kIdleThreshold)) return;
  std::optional<std::string> key = usageKey(state, bundleId);
  if (key == state.activeBundle) return;
  const bool wasUntimed = !state.activeBundle;
  flushCurrentApp(state);
  state.activeBundle = std::move(key);
  // Time before the sampler noticed the browser belonged to nobody; do not credit it now.
  if (wasUntimed) restartTiming(state);
}

void onTerminationSignal(TrackerState& state, int /*signal*/) {
  if (state.terminated) return;
  state.terminated = true;
  state.idle.stopAsking();
  // Before start-up has chosen a day there is nothing to save.
  if (state.currentDay.empty()) {
    state.loop.quit(0);
    return;
  }
  flushCurrentApp(state);
  retryPendingDays(state);
  // The last chance: what cannot be written now is lost, silently, as the daemon must be.
  (void)save(state, state.usageData, state.currentDay);
  (void)saveActivity(state, state.activityIntervals, state.currentDay);
  (void)saveSegments(state, state.segmentSpans, state.currentDay);
  state.loop.quit(0);
}

}  // namespace quillmoss::tracker
