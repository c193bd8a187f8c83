// Candidate tables; see candidates.h.
#include "linux_desktop/candidates.h"

namespace quillmoss::desktop {

Error cannotServe(std::string reason) {
  return Error{kDesktopErrorDomain, 2, std::move(reason)};
}

void Reasons::add(const char* candidate, const std::string& reason) {
  if (!groups_.empty() && groups_.back().reason == reason) {
    groups_.back().names += std::string(", ") + candidate;
    return;
  }
  groups_.push_back(Group{candidate, reason});
}

std::string Reasons::joined() const {
  std::string text;
  for (const Group& group : groups_) {
    if (!text.empty()) text += "; ";
    text += group.names + ": " + group.reason;
  }
  return text;
}

}  // namespace quillmoss::desktop
