// The window in front from the window manager's answers; see front_window.h.
#include "platform/linux/x11/active_window.h"

namespace quillmoss::tracker {

bool ActiveWindow::activeIs(std::uint64_t generation, xcb_window_t window) {
  if (!current(generation)) return false;
  active_ = window;
  return true;
}

bool ActiveWindow::closedByList(std::uint64_t generation,
                                const std::unordered_set<xcb_window_t>& listed) {
  if (!current(generation) || active_ == XCB_WINDOW_NONE || listed.contains(active_)) return false;
  active_ = XCB_WINDOW_NONE;
  return true;
}

}  // namespace quillmoss::tracker
