// The applications with windows on the X display, as the shared identity library lists them.
#pragma once

#include <memory>
#include <vector>

#include "linux_desktop/x11_windows.h"
#include "platform/linux/installed_applications.h"
#include "platform/linux/running_windows.h"
#include "platform/linux/x11/x11_display.h"

namespace quillmoss::host {

// The windows of the X server named by $DISPLAY in its client-list order, over one kept
// connection; empty without a display. Listing asks for no icons.
class X11RunningWindows : public RunningWindows, public XwaylandDisplay {
 public:
  // The installed applications and the loop (which reads the display's events as they come)
  // must outlive this object.
  explicit X11RunningWindows(InstalledApplications& installed, EventLoop* loop = nullptr)
      : installed_(installed), display_(std::make_shared<X11Display>(loop)) {}
  std::optional<std::vector<desktop::RunningWindow>> list() override;
  std::vector<desktop::ClientWindow> clientWindows() override;
  std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& window,
                                          std::shared_ptr<const Image> otherwise) override;

 private:
  InstalledApplications& installed_;
  // Shared with the icons handed out, which hold it weakly and may outlive this object.
  std::shared_ptr<X11Display> display_;
};

}  // namespace quillmoss::host
