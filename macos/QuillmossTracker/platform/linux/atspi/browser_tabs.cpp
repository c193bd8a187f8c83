// The tracker's browser tabs on Linux; see browser_tabs.h.
#include "platform/linux/atspi/browser_tabs.h"

#include "platform/linux/atspi/web_browsers.h"

namespace quillmoss::tracker::atspi {

bool BrowserTabs::isBrowser(const std::string& bundleId) {
  return isWebBrowser(bundleId);
}

void BrowserTabs::ask(const std::string& /*bundleId*/, Done done) {
  frontWindow_([this, done = std::move(done)](const FrontWindow& window) {
    if (!window.pid) return done(TabAnswer{});
    pages_.ask(*window.pid, window.title, done);
  });
}

}  // namespace quillmoss::tracker::atspi
