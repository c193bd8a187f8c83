// Per-application usage accounting.
#include "accounting.h"

#include <algorithm>

#include "browser_domains.h"
#include "pending_days.h"
#include "timelines.h"

namespace quillmoss::tracker {

std::optional<std::string> usageKey(TrackerState& state,
                                    const std::optional<std::string>& bundleId) {
  if (!bundleId || state.kExcludedBundles.contains(*bundleId)) return std::nullopt;
  if (auto domain = browserActiveDomain(state, *bundleId)) return *bundleId + "#" + *domain;
  return *bundleId;
}

void restartTiming(TrackerState& state) {
  state.lastSwitch = state.clock.now();
  state.suspendedAtLastSwitch = state.clock.suspendedSeconds();
}

void flushCurrentApp(TrackerState& state) {
  if (!state.activeBundle) return;
  const double now = state.clock.now();
  const double suspendedNow = state.clock.suspendedSeconds();
  double slept = suspendedNow - state.suspendedAtLastSwitch;
  if (!(slept >= state.kSuspensionNoise)) slept = 0.0;

  // Time asleep is not use, and a clock set back never lowers a total.
  const double credit = std::max(0.0, (now - state.lastSwitch) - slept);
  state.usageData[*state.activeBundle] += credit;

  if (state.idle.secondsSinceLastInput() < state.kIdleThreshold &&
      slept <= state.kMaxSuspensionInSegment) {
    recordSegment(state, *state.activeBundle, state.lastSwitch, now);
  }
  state.lastSwitch = now;
  state.suspendedAtLastSwitch = suspendedNow;
}

void rollDayIfNeeded(TrackerState& state) {
  const std::string today = state.clock.dayString(state.clock.now());
  if (today == state.currentDay) return;
  flushCurrentApp(state);
  saveEndingDay(state);
  state.currentDay = today;
  enterDay(state, today);
  restartTiming(state);
}

}  // namespace quillmoss::tracker
