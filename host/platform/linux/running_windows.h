// The applications with windows in the user's session, as one mechanism lists them.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "linux_desktop/client_window.h"
#include "linux_desktop/running_window.h"
#include "platform/image.h"

namespace quillmoss::host {

class RunningWindows {
 public:
  virtual ~RunningWindows() = default;
  // In the session's order, one per application identity. nullopt once the mechanism no
  // longer serves (its compositor or shell went away).
  virtual std::optional<std::vector<desktop::RunningWindow>> list() = 0;
  // The icon of a listed application's windows, asked for only when drawn; `otherwise` is
  // drawn when they have none. Null when the windows cannot have icons.
  virtual std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& /*window*/,
                                                  std::shared_ptr<const Image> /*otherwise*/) {
    return nullptr;
  }
};

// The X display beside a Wayland compositor (Xwayland): what the X display knows of the windows
// a compositor lists without an entry (their facts, their icons).
class XwaylandDisplay {
 public:
  virtual ~XwaylandDisplay() = default;
  // Its client windows; empty without an X display.
  virtual std::vector<desktop::ClientWindow> clientWindows() = 0;
  // As RunningWindows::windowIcon, for applications listed with X windows.
  virtual std::shared_ptr<const Image> windowIcon(const desktop::RunningWindow& window,
                                                  std::shared_ptr<const Image> otherwise) = 0;
};

}  // namespace quillmoss::host
