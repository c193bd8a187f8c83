// The desktop session the tracker runs in: its frontmost application and input idle time.
#pragma once

#include <functional>
#include <memory>

#include "core/event_loop.h"
#include "platform/idle.h"
#include "platform/workspace.h"

namespace quillmoss::tracker {

class DesktopSession : public Workspace, public IdleSource {
 public:
  // Called once when the session ends under the tracker (the display connection is lost).
  virtual void onSessionLost(std::function<void()> handler) = 0;
};

// Connects to the user's desktop session (on Linux the X display named by $DISPLAY) and
// watches it through the run loop. nullptr when there is no session to connect to.
std::unique_ptr<DesktopSession> connectDesktopSession(EventLoop& loop);

}  // namespace quillmoss::tracker
