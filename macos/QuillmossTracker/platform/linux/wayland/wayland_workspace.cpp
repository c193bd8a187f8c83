// The shared part of the Wayland workspaces; see wayland_workspace.h.
#include "platform/linux/wayland/wayland_workspace.h"

#include "linux_desktop/identity.h"
#include "linux_desktop/wayland_windows.h"

namespace quillmoss::tracker {

WaylandWorkspace::WaylandWorkspace(std::shared_ptr<WaylandLink> link, XwaylandLookup xwayland)
    : link_(std::move(link)),
      filter_(link_->loop()),
      index_(desktop::DesktopEntryIndex::scan()),
      xwayland_(std::move(xwayland)) {
  link_->onLost([this] {
    filter_.stop();
    if (lostHandler_) lostHandler_();
  });
}

WaylandWorkspace::~WaylandWorkspace() {
  filter_.stop();
  link_->onLost(nullptr);
}

Status WaylandWorkspace::begin(std::optional<std::string> front) {
  lock_ = std::make_unique<ScreenLock>(link_->sessionBus(), link_->systemBus(),
                                       [this](bool locked) { filter_.screenSaverChanged(locked); });
  filter_.start(std::move(front), lock_->locked());
  return link_->flush();
}

std::optional<std::string> WaylandWorkspace::identityOf(const std::string& appId,
                                                        const std::string& wmClass,
                                                        std::optional<int> pid) {
  // New applications get desktop entries while we run; the folders are stat'ed on each change
  // of the window in front and read again only when they changed.
  if (index_.changedSinceScan()) index_ = index_.rescan();
  return desktop::waylandIdentity(appId, wmClass, pid, index_);
}

std::optional<std::string> WaylandWorkspace::identityOfToplevel(const std::string& appId,
                                                                const std::string& title) {
  if (index_.changedSinceScan()) index_ = index_.rescan();
  if (xwayland_ && !appId.empty() && !desktop::namesAnEntry(appId, index_)) {
    const desktop::ShellWindow window{appId, {}, std::nullopt, title};
    const std::vector<desktop::ClientWindow> xWindows = xwayland_(index_);
    if (const desktop::ClientWindow* x = desktop::xwaylandWindowOf(window, xWindows)) {
      return x->identity;
    }
  }
  return desktop::waylandIdentity(appId, {}, std::nullopt, index_);
}

}  // namespace quillmoss::tracker
