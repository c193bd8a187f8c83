// The domain of a scripted browser's active tab, and the tab sampler that follows it.
#pragma once

#include <optional>
#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

// AppleScript's errAEEventNotPermitted: the user has not allowed us to script that browser.
inline constexpr long kAppleEventsNotPermitted = -1743;

// The active tab's host with one leading "www." removed, or none (not a scripted browser,
// denied, script failure, no text, not a URL, no host). A -1743 refusal marks the browser
// in appleEventsDenied, and it is not asked again.
std::optional<std::string> browserActiveDomain(TrackerState& state, const std::string& bundleId);

}  // namespace quillmoss::tracker
