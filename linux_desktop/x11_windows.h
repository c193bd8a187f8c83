// The applications that have windows on the X display, with a title and an icon for each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/x11_window_icon.h"

namespace quillmoss::desktop {

struct RunningWindow {
  std::string identity;
  std::string title;
  int iconWidth = 0, iconHeight = 0;
  std::vector<std::uint32_t> iconArgb;  // the largest _NET_WM_ICON image, ARGB, row by row
  std::vector<std::uint32_t> windows;   // its X windows in client-list order, for a later icon
};

// The client windows of _NET_CLIENT_LIST in its order, one per application identity (the first
// window of each; its icon from a later window when the first has none). A dialog counts for
// the window it is transient for. Opens its own
// connection to $DISPLAY; an empty list when there is no display.
std::vector<RunningWindow> listRunningApplications(const DesktopEntryIndex& index);

// The same over a connection the caller keeps, without icons: only identity and title are
// asked for. nullopt when the server does not answer in time.
std::optional<std::vector<RunningWindow>> listRunningApplications(const X11Connection& x,
                                                                  const DesktopEntryIndex& index,
                                                                  const AwaitReplies& await);

// Picks the largest image of a _NET_WM_ICON value (width, height, then width*height pixels,
// repeated). Malformed trailing data is ignored. False when there is no whole image.
bool largestIcon(const std::uint32_t* data, std::size_t count, RunningWindow& window);

}  // namespace quillmoss::desktop
