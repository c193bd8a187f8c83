// The host's one connection to the X server named by $DISPLAY, kept between calls.
#pragma once

#include <optional>

#include "linux_desktop/x11_window_icon.h"

namespace quillmoss::host {

// Opened on first use and kept; opened again after the server closed it or an X error broke
// it. A server that stops answering costs one bounded wait: until its late answer arrives,
// later calls are refused at once instead of waiting again. Main thread only.
class X11Display {
 public:
  // How long one batch of replies may take before the server counts as not answering.
  static constexpr double kReplySeconds = 0.5;

  X11Display() = default;
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  // The connection, opened if needed; nullptr without a display or while the server has not
  // answered an earlier wait.
  const desktop::X11Connection* connection();
  // Waits for every reply asked for so far, within kReplySeconds.
  bool awaitReplies();

 private:
  bool open();
  void drop();

  desktop::XcbConnection owned_;
  desktop::X11Connection connection_;
  std::optional<unsigned int> unanswered_;  // the marker of a wait that timed out
};

}  // namespace quillmoss::host
