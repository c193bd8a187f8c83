// The Xwayland windows of a Wayland session; see session_candidates.h.
#include "linux_desktop/x11_connection.h"
#include "linux_desktop/x11_windows.h"
#include "platform/linux/session_candidates.h"

namespace quillmoss::tracker {

std::vector<desktop::ClientWindow> xwaylandClientWindows(const desktop::DesktopEntryIndex& index) {
  // A server that does not answer holds the tracker this long at most.
  constexpr double kReplySeconds = 0.5;
  auto display = desktop::openDisplay();
  if (!display) return {};
  const desktop::X11Connection& x = display->x;
  const desktop::AwaitReplies await = [&] {
    // Replies come in order: once the marker's is in, so are all before it.
    const unsigned int marker = xcb_get_input_focus(x.c).sequence;
    xcb_flush(x.c);
    return desktop::awaitReply(x.c, marker, kReplySeconds) && !xcb_connection_has_error(x.c);
  };
  desktop::WindowCache cache;
  auto windows = desktop::listClientWindows(x, index, await, cache);
  return windows ? std::move(*windows) : std::vector<desktop::ClientWindow>{};
}

}  // namespace quillmoss::tracker
