// The toplevels of a compositor that lists them (wlroots: zwlr_foreign_toplevel_manager_v1),
// over a connection of its own on every call.
#include <cstdlib>

#include "linux_desktop/candidates.h"
#include "linux_desktop/wayland_windows.h"
#include "platform/linux/window_candidates.h"

namespace quillmoss::host {
namespace {

class WlrWindows final : public RunningWindows {
 public:
  explicit WlrWindows(InstalledApplications& installed) : installed_(installed) {}
  std::optional<std::vector<desktop::RunningWindow>> list() override {
    return desktop::listWaylandApplications(installed_.index());
  }

 private:
  InstalledApplications& installed_;
};

}  // namespace

WindowsMade wlrToplevelWindows(WindowsContext& context) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* socket = std::getenv("WAYLAND_SOCKET");
  if ((display == nullptr || *display == '\0') && socket == nullptr) {
    return desktop::cannotServe("$WAYLAND_DISPLAY is not set");
  }
  return std::unique_ptr<RunningWindows>(std::make_unique<WlrWindows>(context.installed));
}

}  // namespace quillmoss::host
