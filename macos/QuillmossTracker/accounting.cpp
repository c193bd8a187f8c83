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
  state.awakeAtLastSwitch = state.clock.awakeSeconds();
}

void flushCurrentApp(TrackerState& state) {
  if (!state.activeBundle) return;
  const double now = state.clock.now();
  const double suspendedNow = state.clock.suspendedSeconds();
  const double awakeNow = state.clock.awakeSeconds();
  double slept = suspendedNow - state.suspendedAtLastSwitch;
  if (!(slept >= state.kSuspensionNoise)) slept = 0.0;

  // Time asleep is not use, and a clock set back never lowers a total. Nor does a wall clock set
  // forward add to one: no stretch earns more than the time the machine was awake through it.
  // (The two clocks are read microseconds apart, so only a difference above the noise counts.)
  const double wallAwake = (now - state.lastSwitch) - slept;
  const double awake = awakeNow - state.awakeAtLastSwitch;
  const bool wallJumped = awake + state.kSuspensionNoise < wallAwake;
  const double credit = std::max(0.0, wallJumped ? awake : wallAwake);
  state.usageData[*state.activeBundle] += credit;

  if (state.idle.secondsSinceLastInput() < state.kIdleThreshold &&
      slept <= state.kMaxSuspensionInSegment) {
    // After a jump forward the segment covers only the time that was credited, up to now.
    const double from = wallJumped ? now - credit : state.lastSwitch;
    recordSegment(state, *state.activeBundle, from, now);
  }
  state.lastSwitch = now;
  state.suspendedAtLastSwitch = suspendedNow;
  state.awakeAtLastSwitch = awakeNow;
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
