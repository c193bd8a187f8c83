// The domain of a browser's active tab.
#include "browser_domains.h"

#include "url_host.h"

namespace quillmoss::tracker {

std::optional<std::string> pageDomain(std::string_view address) {
  std::optional<std::string> host = urlHost(address);
  if (!host) return std::nullopt;
  if (host->starts_with("www.")) host->erase(0, 4);
  // "www." alone would leave a key ending in "#" with nothing after it.
  if (host->empty()) return std::nullopt;
  return host;
}

std::optional<std::string> browserActiveDomain(TrackerState& state, const std::string& bundleId) {
  if (asksTabLater(state, bundleId)) return std::nullopt;
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
  return pageDomain(*outcome.text);
}

bool asksTabLater(TrackerState& state, const std::string& bundleId) {
  return state.tabAddresses != nullptr && state.tabAddresses->isBrowser(bundleId);
}

void askTabKey(TrackerState& state, const std::string& bundleId,
               std::function<void(std::string key)> take) {
  const std::uint64_t asked = state.keyChanges;
  state.tabAddresses->ask(
      bundleId, [&state, bundleId, asked, take = std::move(take)](const TabAnswer& answer) {
        if (answer.missed || state.keyChanges != asked) return;
        const std::optional<std::string> domain =
            answer.address ? pageDomain(*answer.address) : std::nullopt;
        take(domain ? bundleId + "#" + *domain : bundleId);
      });
}

}  // namespace quillmoss::tracker
