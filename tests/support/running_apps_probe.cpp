// Prints per application on $DISPLAY: identity, icon width, height, first pixel, and title.
#include <cstdio>

#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/x11_windows.h"

int main() {
  using namespace quillmoss::desktop;
  const DesktopEntryIndex index = DesktopEntryIndex::scan();
  for (const RunningWindow& window : listRunningApplications(index)) {
    std::printf("%s\t%d\t%d\t%08x\t%s\n", window.identity.c_str(), window.iconWidth,
                window.iconHeight, window.iconArgb.empty() ? 0u : window.iconArgb.front(),
                window.title.c_str());
  }
  return 0;
}
