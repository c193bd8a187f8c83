// The applications with windows in the user's session, as one mechanism lists them.
#pragma once

#include <memory>
#include <optional>
#include <vector>

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

}  // namespace quillmoss::host
