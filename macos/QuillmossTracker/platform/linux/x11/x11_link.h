// The tracker's desktop session on the X display named by $DISPLAY.
#pragma once

#include <memory>

#include "platform/desktop.h"

namespace quillmoss::tracker {

// nullptr when there is no display to connect to.
std::unique_ptr<DesktopSession> connectX11Session(EventLoop& loop);

}  // namespace quillmoss::tracker
