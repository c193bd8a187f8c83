// The daemon's four callbacks.
#include "callbacks.h"

#include "accounting.h"
#include "browser_domains.h"
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

namespace {

void takeSampledKey(TrackerState& state, std::optional<std::string> key) {
  if (key == state.activeBundle) return;
  const bool wasUntimed = !state.activeBundle;
  flushCurrentApp(state);
  state.activeBundle = std::move(key);
  ++state.keyChanges;
  // Time before the sampler noticed the browser belonged to nobody; do not credit it now.
  if (wasUntimed) restartTiming(state);
}

}  // namespace

void completeKeyLater(TrackerState& state) {
  if (!state.activeBundle || !asksTabLater(state, *state.activeBundle)) return;
  // The domain showing now was showing since the key was formed: it takes the key's place
  // without settling the few milliseconds the question took.
  askTabKey(state, *state.activeBundle,
            [&state](std::string key) { state.activeBundle = std::move(key); });
}

void onAppActivated(TrackerState& state, const std::optional<std::string>& bundleId) {
  rollDayIfNeeded(state);
  flushCurrentApp(state);
  state.activeBundle = usageKey(state, bundleId);
  ++state.keyChanges;
  restartTiming(state);
  completeKeyLater(state);
}

void onTabTimer(TrackerState& state) {
  const std::optional<std::string> bundleId = state.workspace.frontmostBundleId();
  if (!bundleId) return;
  const bool later = asksTabLater(state, *bundleId);
  if (!later && !state.kBrowserTabScripts.contains(*bundleId)) return;
  if (!(state.idle.secondsSinceLastInput() < state.kIdleThreshold)) return;
  if (later) {
    askTabKey(state, *bundleId, [&state](std::string key) { takeSampledKey(state, key); });
    return;
  }
  takeSampledKey(state, usageKey(state, bundleId));
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
  // The last chance: what cannot be written now is lost.
  for (const Status& saved : {save(state, state.usageData, state.currentDay),
                              saveActivity(state, state.activityIntervals, state.currentDay),
                              saveSegments(state, state.segmentSpans, state.currentDay)}) {
    if (!saved && !state.gaveWay && !state.unsavedAtExit) state.unsavedAtExit = saved.error();
  }
  state.loop.quit(0);
}

}  // namespace quillmoss::tracker
