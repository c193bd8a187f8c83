// Windows over the kept X connection, their icons fetched when drawn; see running_windows.h.
#include "platform/linux/x11/running_windows.h"

#include <algorithm>

#include "platform/linux/pixbuf_image.h"
#include "platform/linux/window_candidates.h"

namespace quillmoss::host {
namespace {

// Holds the display weakly: an icon drawn after the windows' owner is gone draws `otherwise`.
class DeferredWindowIcon : public Image {
 public:
  DeferredWindowIcon(std::weak_ptr<X11Display> display, std::vector<std::uint32_t> windows,
                     std::shared_ptr<const Image> otherwise)
      : display_(std::move(display)),
        windows_(std::move(windows)),
        otherwise_(std::move(otherwise)) {}

  std::optional<std::vector<std::uint8_t>> pngDrawnAtSize(int width, int height) const override {
    if (auto display = display_.lock()) {
      if (const desktop::X11Connection* x = display->connection()) {
        auto icon = desktop::fetchWindowIcon(*x, windows_, std::max(width, height),
                                             [&] { return display->awaitReplies(); });
        if (icon) {
          return ArgbImage(icon->width, icon->height, std::move(icon->argb))
              .pngDrawnAtSize(width, height);
        }
      }
    }
    if (!otherwise_) return std::nullopt;
    return otherwise_->pngDrawnAtSize(width, height);
  }

 private:
  std::weak_ptr<X11Display> display_;
  std::vector<std::uint32_t> windows_;
  std::shared_ptr<const Image> otherwise_;
};

}  // namespace

std::optional<std::vector<desktop::RunningWindow>> X11RunningWindows::list() {
  const desktop::X11Connection* x = display_->connection();
  if (x == nullptr) return std::vector<desktop::RunningWindow>{};
  auto windows = desktop::listRunningApplications(
      *x, installed_.index(), [this] { return display_->awaitReplies(); }, display_->windowCache());
  return windows ? std::move(*windows) : std::vector<desktop::RunningWindow>{};
}

std::vector<desktop::ClientWindow> X11RunningWindows::clientWindows() {
  const desktop::X11Connection* x = display_->connection();
  if (x == nullptr) return {};
  auto windows = desktop::listClientWindows(
      *x, installed_.index(), [this] { return display_->awaitReplies(); }, display_->windowCache());
  return windows ? std::move(*windows) : std::vector<desktop::ClientWindow>{};
}

std::shared_ptr<const Image> X11RunningWindows::windowIcon(const desktop::RunningWindow& window,
                                                           std::shared_ptr<const Image> otherwise) {
  if (window.windows.empty()) return nullptr;
  return std::make_shared<DeferredWindowIcon>(display_, window.windows, std::move(otherwise));
}

// Serves whether or not a display can be reached now: it is asked again on every call.
WindowsMade x11Windows(WindowsContext& context) {
  return std::unique_ptr<RunningWindows>(
      std::make_unique<X11RunningWindows>(context.installed, &context.loop));
}

std::unique_ptr<XwaylandDisplay> xwaylandDisplay(WindowsContext& context) {
  return std::make_unique<X11RunningWindows>(context.installed, &context.loop);
}

}  // namespace quillmoss::host
