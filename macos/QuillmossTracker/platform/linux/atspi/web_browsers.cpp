// Web browsers by identity; see web_browsers.h.
#include "platform/linux/atspi/web_browsers.h"

#include <algorithm>
#include <iterator>

namespace quillmoss::tracker::atspi {

bool isWebBrowser(std::string_view identity) {
  static constexpr std::string_view kBrowsers[] = {
      // Gecko
      "firefox", "firefox-esr", "firefox_firefox", "org.mozilla.firefox",
      "firefox-developer-edition", "firefox-nightly", "librewolf", "io.gitlab.librewolf-community",
      "waterfox", "net.waterfox.waterfox", "floorp", "one.ablaze.floorp",
      // Chromium and its family
      "chromium", "chromium-browser", "chromium_chromium", "org.chromium.Chromium", "google-chrome",
      "google-chrome-beta", "google-chrome-unstable", "com.google.Chrome", "brave-browser",
      "com.brave.Browser", "microsoft-edge", "microsoft-edge-beta", "microsoft-edge-dev",
      "com.microsoft.Edge", "vivaldi-stable", "com.vivaldi.Vivaldi", "opera", "com.opera.Opera",
      "yandex-browser", "io.github.ungoogled_software.ungoogled_chromium"};
  return std::find(std::begin(kBrowsers), std::end(kBrowsers), identity) != std::end(kBrowsers);
}

}  // namespace quillmoss::tracker::atspi
