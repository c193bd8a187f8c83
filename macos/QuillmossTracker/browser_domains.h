// The domain of a browser's active tab, asked of a script that waits or of a source that
// answers later.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tracker_state.h"

namespace quillmoss::tracker {

// AppleScript's errAEEventNotPermitted: the user has not allowed us to script that browser.
inline constexpr long kAppleEventsNotPermitted = -1743;

// The domain of a page's address: its URL host with one leading "www." removed; none when the
// address is not a URL or has no usable host.
std::optional<std::string> pageDomain(std::string_view address);

// The active tab's host with one leading "www." removed, or none (not a scripted browser, one
// asked of tabAddresses instead, denied, script failure, no text, not a URL, no host). A -1743
// refusal marks the browser in appleEventsDenied, and it is not asked again.
std::optional<std::string> browserActiveDomain(TrackerState& state, const std::string& bundleId);

// Whether bundleId's tab is asked of state.tabAddresses, whose answer comes later; where there
// is such a source it answers for every browser it knows, scripted ones included.
bool asksTabLater(TrackerState& state, const std::string& bundleId);

// Asks state.tabAddresses for bundleId's tab; hands take the key it gives (the identifier, "#"
// and the domain, or the bare identifier), or nothing when the browser did not answer in time.
// take runs only if no activation or tab sample changed the key in force meanwhile.
void askTabKey(TrackerState& state, const std::string& bundleId,
               std::function<void(std::string key)> take);

}  // namespace quillmoss::tracker
