// An X client window as a listing of the X display found it; what a Wayland session learns of
// its Xwayland windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillmoss::desktop {

struct ClientWindow {
  std::uint32_t window = 0;
  std::string wmInstance, wmClass, title;
  // The window's application; a dialog's is that of the window it is transient for.
  std::optional<std::string> identity;
};

}  // namespace quillmoss::desktop
