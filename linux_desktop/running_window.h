// An application with windows in the session, as the host lists running ones (X11 or Wayland).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmoss::desktop {

struct RunningWindow {
  std::string identity;
  std::string title;
  int iconWidth = 0, iconHeight = 0;
  std::vector<std::uint32_t> iconArgb;  // the largest _NET_WM_ICON image, ARGB, row by row
  std::vector<std::uint32_t> windows;   // its X windows in client-list order, for a later icon
};

}  // namespace quillmoss::desktop
