// Placeholder until the X11 backend lands: no desktop session is available.
#include "platform/desktop.h"

namespace quillmoss::tracker {

std::unique_ptr<DesktopSession> connectDesktopSession(RunLoop&) { return nullptr; }

}  // namespace quillmoss::tracker
