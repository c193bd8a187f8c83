// The address of the page a browser's front window shows, for browsers that answer later
// (over a desktop's accessibility bus) instead of to a script that waits.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillmoss::tracker {

// A browser's answer: the address its front window shows, or none (no page, or its tree is not
// exposed); missed when it did not answer in time.
struct TabAnswer {
  std::optional<std::string> address;
  bool missed = false;
};

class TabAddresses {
 public:
  using Done = std::function<void(const TabAnswer& answer)>;

  virtual ~TabAddresses() = default;
  // Whether bundleId names a browser this source can ask.
  virtual bool isBrowser(const std::string& bundleId) = 0;
  // Asks the front window of bundleId for the address it shows. done runs once on the loop's
  // thread, inside this call or later; never after the source is destroyed.
  virtual void ask(const std::string& bundleId, Done done) = 0;
};

}  // namespace quillmoss::tracker
