// The host's one connection to the X server named by $DISPLAY, kept between calls.
#pragma once

#include <memory>
#include <optional>

#include "core/event_loop.h"
#include "linux_desktop/x11_connection.h"
#include "linux_desktop/x11_window_icon.h"
#include "linux_desktop/x11_windows.h"

namespace quillmoss::host {

// Opened on first use and kept; opened again after the server closed it or an X error broke
// it. A server that stops answering costs one bounded wait: until its late answer arrives,
// later calls are refused at once instead of waiting again. Main thread only; made with
// std::make_shared (the loop's watch holds it weakly).
class X11Display : public std::enable_shared_from_this<X11Display> {
 public:
  // How long one batch of replies may take before the server counts as not answering.
  static constexpr double kReplySeconds = 0.5;

  // With a loop, the events listings select are read as they come, so none pile up between
  // calls; the loop outlives this object.
  explicit X11Display(EventLoop* loop = nullptr) : loop_(loop) {}
  ~X11Display() { drop(); }
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  // The connection, opened if needed; nullptr without a display or while the server has not
  // answered an earlier wait.
  const desktop::X11Connection* connection();
  // Waits for every reply asked for so far, within kReplySeconds.
  bool awaitReplies();
  // What listings have learnt over this connection; emptied when it is opened again.
  desktop::WindowCache& windowCache() { return windowCache_; }

 private:
  bool open();
  void drop();
  void readEvents();

  desktop::XcbConnection owned_;
  desktop::X11Connection connection_;
  std::optional<unsigned int> unanswered_;  // the marker of a wait that timed out
  desktop::WindowCache windowCache_;
  EventLoop* loop_;
  int watched_ = -1;
};

}  // namespace quillmoss::host
