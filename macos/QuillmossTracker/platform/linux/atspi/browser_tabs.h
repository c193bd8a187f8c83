// The tracker's browser tabs on Linux: for a web browser in front, the address of the page its
// front window shows, read over the accessibility bus. The process comes from the desktop
// session (on X11 the window's _NET_WM_PID, on Wayland what the shell reports), which is the
// process that speaks for the browser on that bus.
#pragma once

#include "platform/linux/atspi/showing_pages.h"
#include "platform/linux/front_window.h"
#include "platform/tab_addresses.h"

namespace quillmoss::tracker::atspi {

// The pages and the query outlive it.
class BrowserTabs final : public TabAddresses {
 public:
  BrowserTabs(ShowingPages& pages, FrontWindowQuery frontWindow)
      : pages_(pages), frontWindow_(std::move(frontWindow)) {}

  bool isBrowser(const std::string& bundleId) override;
  // Without the window's process there is nothing to ask: the browser alone.
  void ask(const std::string& bundleId, Done done) override;

 private:
  ShowingPages& pages_;
  FrontWindowQuery frontWindow_;
};

}  // namespace quillmoss::tracker::atspi
