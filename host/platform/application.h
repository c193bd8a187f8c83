// The running application: activation policy, window list, activation and termination.
#pragma once

#include <vector>

#include "platform/window.h"

namespace quillmoss::host {

// Values as AppKit numbers them.
enum class ActivationPolicy { regular = 0, accessory = 1, prohibited = 2 };

class Application {
 public:
  virtual ~Application() = default;
  virtual ActivationPolicy activationPolicy() const = 0;
  virtual void setActivationPolicy(ActivationPolicy policy) = 0;
  // In the application's order; the windows stay owned by the application.
  virtual std::vector<Window*> windows() const = 0;
  virtual void activateIgnoringOtherApps(bool ignoring) = 0;
  // Ends the application's main loop.
  virtual void terminate() = 0;
};

}  // namespace quillmoss::host
