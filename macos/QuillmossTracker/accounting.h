// Per-application usage accounting: the usage key rule, crediting the time since the last
// switch, and the change of day.
#pragma once

#include <optional>
#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

// The key under which an application's time is credited: none for no identifier or an
// excluded one, else the identifier, followed by "#" and the tab's domain for a scripted
// browser that reports one.
std::optional<std::string> usageKey(TrackerState& state,
                                    const std::optional<std::string>& bundleId);

// Credits the time since lastSwitch (less any time the machine slept) to activeBundle,
// reports a usage segment when the user is active, and restarts timing at now.
void flushCurrentApp(TrackerState& state);

// When the local day has changed: settles and saves the ending day, then loads the new one.
void rollDayIfNeeded(TrackerState& state);

// Starts timing at the current instant.
void restartTiming(TrackerState& state);

}  // namespace quillmoss::tracker
