// Which window _NET_ACTIVE_WINDOW and _NET_CLIENT_LIST say is in front, as their answers come
// in: an answer asked before a newer change of the active window says nothing any more.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <unordered_set>

namespace quillmoss::tracker {

class ActiveWindow {
 public:
  // _NET_ACTIVE_WINDOW changed: the query about to go out, and earlier ones, are this old.
  std::uint64_t activeChanged() { return ++generation_; }
  // The change queries are tagged with now.
  std::uint64_t generation() const { return generation_; }
  bool current(std::uint64_t generation) const { return generation == generation_; }
  // The window named in front last; XCB_WINDOW_NONE when none is.
  xcb_window_t window() const { return active_; }

  // The answer to the query of `generation`; false when a newer one is on its way.
  bool activeIs(std::uint64_t generation, xcb_window_t window);

  // The client list as read at `generation`. True when it no longer lists the window named in
  // front, which is then forgotten: Openbox, for one, leaves _NET_ACTIVE_WINDOW naming the last
  // window after it closed when nothing else takes the focus. A newer active window on its way
  // says more than this list does.
  bool closedByList(std::uint64_t generation, const std::unordered_set<xcb_window_t>& listed);

 private:
  std::uint64_t generation_ = 0;
  xcb_window_t active_ = XCB_WINDOW_NONE;
};

}  // namespace quillmoss::tracker
