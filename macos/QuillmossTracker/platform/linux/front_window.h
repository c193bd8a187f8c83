// What a Linux desktop session tells of the window in front, beyond its application: the
// process that owns it and its title, when the session knows them.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillmoss::tracker {

struct FrontWindow {
  std::optional<int> pid;
  std::optional<std::string> title;
};

// Hands what is known of the window in front now to done, on the loop's thread, perhaps inside
// the call.
using FrontWindowQuery = std::function<void(std::function<void(const FrontWindow&)> done)>;

}  // namespace quillmoss::tracker
