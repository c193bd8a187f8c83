// The desktop session the tracker runs in: its frontmost application and input idle time.
#pragma once

#include <functional>
#include <memory>

#include "core/error.h"
#include "core/event_loop.h"
#include "platform/idle.h"
#include "platform/workspace.h"

namespace quillmoss::tracker {

class DesktopSession : public Workspace, public IdleSource {
 public:
  // Called once when the session ends under the tracker (the display connection is lost).
  virtual void onSessionLost(std::function<void()> handler) = 0;
};

// Connects to the user's desktop session (on Linux a Wayland display, else the X display) and
// watches it through the loop. When there is none, the error says what was looked for.
Expected<std::unique_ptr<DesktopSession>> connectDesktopSession(EventLoop& loop);

}  // namespace quillmoss::tracker
