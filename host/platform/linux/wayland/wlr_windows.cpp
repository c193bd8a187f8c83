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
  explicit WlrWindows(WindowsContext& context) : context_(context) {}
  std::optional<std::vector<desktop::RunningWindow>> list() override {
    return desktop::listWaylandApplications(context_.installed.index(),
                                            [this] { return context_.xwayland().clientWindows(); });
  }
  // Xwayland windows have X icons.
  std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& window,
                                          std::shared_ptr<const Image> otherwise) override {
    return context_.xwayland().windowIcon(window, std::move(otherwise));
  }

 private:
  WindowsContext& context_;
};

}  // namespace

WindowsMade wlrToplevelWindows(WindowsContext& context) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* socket = std::getenv("WAYLAND_SOCKET");
  if ((display == nullptr || *display == '\0') && socket == nullptr) {
    return desktop::cannotServe("$WAYLAND_DISPLAY is not set");
  }
  return std::unique_ptr<RunningWindows>(std::make_unique<WlrWindows>(context));
}

}  // namespace quillmoss::host
