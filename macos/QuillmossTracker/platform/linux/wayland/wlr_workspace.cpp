// The window in front from a compositor that lists its toplevels (wlroots:
// zwlr_foreign_toplevel_manager_v1).
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
    active_ = activeAppId();
    std::optional<std::string> front;
    if (active_) front = identityOf(*active_, {}, std::nullopt);
    return begin(std::move(front));
  }

 private:
  std::optional<std::string> activeAppId() const {
    for (const desktop::WaylandToplevel& toplevel : link_->display().toplevels()) {
      if (toplevel.activated) return toplevel.appId;
    }
    return std::nullopt;
  }

  void toplevelsChanged() {
    // A switch arrives as the old window's deactivation and then the new one's activation, each
    // completed on its own; the filter waits a moment before believing the "none" in between.
    auto active = activeAppId();
    if (active == active_) return;
    active_ = std::move(active);
    if (!active_) {
      filter_.noActiveWindow();
      return;
    }
    filter_.windowActivated();
    filter_.frontChanged(identityOf(*active_, {}, std::nullopt));
  }

  // Which app_id the compositor shows as activated; nullopt when none.
  std::optional<std::string> active_;
};

}  // namespace

WorkspaceMade wlrToplevelWorkspace(SessionContext& context) {
  auto link = WaylandLink::of(context);
  if (!link) return link.error();
  if (!(*link)->display().offers(kToplevelManager)) {
    return desktop::cannotServe((*link)->described() + " lists no toplevels");
  }
  auto workspace = std::make_unique<WlrWorkspace>(*link);
  if (auto started = workspace->start(); !started) return started.error();
  return std::unique_ptr<SessionWorkspace>(std::move(workspace));
}

}  // namespace quillmoss::tracker
