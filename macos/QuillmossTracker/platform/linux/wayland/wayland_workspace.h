// What the tracker's Wayland workspaces share, whoever reports the window in front: the
// desktop entries its identity is found in, the activation filter and the locked screen (from
// logind and the screen savers on D-Bus).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "linux_desktop/desktop_entries.h"
#include "platform/linux/activation_filter.h"
#include "platform/linux/session_context.h"
#include "platform/linux/wayland/screen_lock.h"
#include "platform/linux/wayland/wayland_link.h"

namespace quillmoss::tracker {

// Its lock subscriptions and the link's lost handler capture `this`; the destructor ends them.
class WaylandWorkspace : public SessionWorkspace {
 public:
  explicit WaylandWorkspace(std::shared_ptr<WaylandLink> link, XwaylandLookup xwayland = {});
  ~WaylandWorkspace() override;

  std::optional<std::string> frontmostBundleId() override { return filter_.frontmost(); }
  void observeActivations(ActivationHandler handler) override {
    filter_.setHandler(std::move(handler));
  }
  void onSessionLost(std::function<void()> handler) override { lostHandler_ = std::move(handler); }

 protected:
  // With the identity in front at start-up: reads the lock, starts the filter and sends what
  // was asked for.
  Status begin(std::optional<std::string> front);
  std::optional<std::string> identityOf(const std::string& appId, const std::string& wmClass,
                                        std::optional<int> pid);
  // Of a window known by its app_id and title alone (wlroots): one whose app_id names no entry
  // may be an Xwayland window, which the X display tells more about (as in an X11 session).
  std::optional<std::string> identityOfToplevel(const std::string& appId, const std::string& title);

  std::shared_ptr<WaylandLink> link_;
  ActivationFilter filter_;

 private:
  desktop::DesktopEntryIndex index_;
  XwaylandLookup xwayland_;
  std::unique_ptr<ScreenLock> lock_;
  std::function<void()> lostHandler_;
};

}  // namespace quillmoss::tracker
