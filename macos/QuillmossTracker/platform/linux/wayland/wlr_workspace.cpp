// The window in front from a compositor that lists its toplevels (wlroots:
// zwlr_foreign_toplevel_manager_v1).
#include "linux_desktop/wayland_windows.h"
#include "platform/linux/session_candidates.h"
#include "platform/linux/wayland/wayland_workspace.h"

namespace quillmoss::tracker {
namespace {

constexpr char kToplevelManager[] = "zwlr_foreign_toplevel_manager_v1";

class WlrWorkspace final : public WaylandWorkspace {
 public:
  using WaylandWorkspace::WaylandWorkspace;

  Status start() {
    if (!link_->display().watchToplevels([this] { toplevelsChanged(); })) {
      return desktop::cannotServe(link_->described() + " stopped answering");
    }
    active_ = activeWindow();
    std::optional<std::string> front;
    if (active_) front = identityOfToplevel(active_->appId, active_->title);
    return begin(std::move(front));
  }

 private:
  struct Front {
    std::string appId, title;
    bool operator==(const Front&) const = default;
  };

  // The activated window; a dialog stands for the window it belongs to, as on X11.
  std::optional<Front> activeWindow() const {
    const std::vector<desktop::WaylandToplevel> toplevels = link_->display().toplevels();
    const std::vector<desktop::ShellWindow> windows = desktop::shellWindowsOf(toplevels);
    for (std::size_t i = 0; i < toplevels.size(); ++i) {
      if (!toplevels[i].activated) continue;
      const desktop::ShellWindow& owner = windows[desktop::ownerOf(windows, i)];
      return Front{owner.appId, owner.title};
    }
    return std::nullopt;
  }

  void toplevelsChanged() {
    // A switch arrives as the old window's deactivation and then the new one's activation, each
    // completed on its own; the filter waits a moment before believing the "none" in between.
    auto active = activeWindow();
    if (active == active_) return;
    active_ = std::move(active);
    if (!active_) {
      filter_.noActiveWindow();
      return;
    }
    filter_.windowActivated();
    filter_.frontChanged(identityOfToplevel(active_->appId, active_->title));
  }

  // The window the compositor shows as activated (its title tells Xwayland windows of one
  // class apart); nullopt when none.
  std::optional<Front> active_;
};

}  // namespace

WorkspaceMade wlrToplevelWorkspace(SessionContext& context) {
  auto link = WaylandLink::of(context);
  if (!link) return link.error();
  if (!(*link)->display().offers(kToplevelManager)) {
    return desktop::cannotServe((*link)->described() + " lists no toplevels");
  }
  auto workspace = std::make_unique<WlrWorkspace>(*link, context.xwayland);
  if (auto started = workspace->start(); !started) return started.error();
  return std::unique_ptr<SessionWorkspace>(std::move(workspace));
}

}  // namespace quillmoss::tracker
