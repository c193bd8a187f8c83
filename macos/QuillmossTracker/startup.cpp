// Start-up of the daemon.
#include "startup.h"

#include <cerrno>

#include "accounting.h"
#include "callbacks.h"
#include "pending_days.h"

namespace quillmoss::tracker {

Status startTracker(TrackerState& state) {
  // Another daemon still writing these days (for example one on its way out) goes first; we
  // then load what it saved. Without the lock a second daemon could overwrite our totals.
  auto locked = daily::DayLock::acquire(state.kDataDir);
  if (locked) {
    state.dayLock.emplace(std::move(*locked));
    daily::makeDataFolderPrivate(state.kDataDir);
  } else if (locked.error().code == ELOOP) {
    return locked.error();  // Something planted at the lock's name: never written through.
  }
  // Otherwise the folder cannot be made yet (a home not mounted, a full or read-only disk):
  // the day is kept in memory and the lock taken before the first write that can be made.
  state.currentDay = state.clock.dayString(state.clock.now());
  enterDay(state, state.currentDay);
  state.activeBundle = usageKey(state, state.workspace.frontmostBundleId());
  restartTiming(state);
  completeKeyLater(state);
  return {};
}

void scheduleCallbacks(TrackerState& state) {
  state.flushTimer =
      state.loop.scheduleRepeating(state.kFlushInterval, [&state] { onFlushTimer(state); });
  state.tabTimer =
      state.loop.scheduleRepeating(state.kTabSampleInterval, [&state] { onTabTimer(state); });
  state.workspace.observeActivations(
      [&state](const std::optional<std::string>& bundleId) { onAppActivated(state, bundleId); });
  state.loop.onTerminationSignal([&state](int signal) { onTerminationSignal(state, signal); });
}

std::optional<std::string> exitNote(const TrackerState& state) {
  if (state.gaveWay) return "another tracker took over " + state.kDataDir.string();
  if (state.unsavedAtExit)
    return "the day's last time was not saved: " + state.unsavedAtExit->message;
  return std::nullopt;
}

}  // namespace quillmoss::tracker
