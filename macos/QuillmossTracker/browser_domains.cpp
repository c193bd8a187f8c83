// The domain of a scripted browser's active tab.
#include "browser_domains.h"

#include "url_host.h"

namespace quillmoss::tracker {

std::optional<std::string> browserActiveDomain(TrackerState& state, const std::string& bundleId) {
  const auto script = state.kBrowserTabScripts.find(bundleId);
  if (script == state.kBrowserTabScripts.end()) return std::nullopt;
  if (state.appleEventsDenied.contains(bundleId)) return std::nullopt;

  const ScriptOutcome outcome = state.scripts.run(script->second);
  if (!outcome.created) return std::nullopt;
  if (outcome.hasErrorInfo && outcome.errorNumber) {
    if (*outcome.errorNumber == kAppleEventsNotPermitted) state.appleEventsDenied.insert(bundleId);
    return std::nullopt;
  }
  if (!outcome.text) return std::nullopt;

  std::optional<std::string> host = urlHost(*outcome.text);
  if (!host) return std::nullopt;
  if (host->starts_with("www.")) host->erase(0, 4);
  // "www." alone would leave a key ending in "#" with nothing after it.
  if (host->empty()) return std::nullopt;
  return host;
}

}  // namespace quillmoss::tracker
