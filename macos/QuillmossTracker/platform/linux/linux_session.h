// The desktop session the tracker runs in on Linux: its workspace (the frontmost application)
// and its input idle time, each from the first mechanism in its table that serves.
#pragma once

#include <functional>
#include <memory>

#include "core/error.h"
#include "core/event_loop.h"
#include "platform/idle.h"
#include "platform/linux/session_context.h"

namespace quillmoss::tracker {

struct LinuxSession {
  std::unique_ptr<SessionWorkspace> workspace;
  std::unique_ptr<IdleSource> idle;
};

// Connects to the user's desktop session and watches it through the loop. When there is none,
// the error says what each mechanism looked for.
Expected<LinuxSession> connectLinuxSession(EventLoop& loop);

}  // namespace quillmoss::tracker
