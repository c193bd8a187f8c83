// The frontmost application and its activation events.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillmoss::tracker {

class Workspace {
 public:
  // Receives the bundle identifier of the application that became frontmost,
  // or nullopt when it has none (or no application is frontmost any more).
  using ActivationHandler = std::function<void(const std::optional<std::string>& bundleId)>;

  virtual ~Workspace() = default;
  // The bundle identifier of the application in front now; nullopt when there is none.
  virtual std::optional<std::string> frontmostBundleId() = 0;
  // Delivered on the run loop's thread, one call per activation. Set once.
  virtual void observeActivations(ActivationHandler handler) = 0;
};

}  // namespace quillmoss::tracker
