// The address of the page a browser's front window shows, found in the browser's accessible
// tree: its front frame, the showing web document in it (browsers keep a document for every
// tab, shown or not), and that document's address.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/atspi/accessible_tree.h"

namespace quillmoss::tracker::atspi {

struct LookupLimits {
  std::size_t maxNodes = 600;     // nodes whose facts are asked for, frames included
  std::size_t maxChildren = 256;  // children of one node that are looked at
  std::size_t maxDepth = 16;      // below the application
};

// One look; done runs once, with the address or nullopt (no frame, no showing document, no
// address, or the front window cannot be told apart from another of the application's).
// windowTitle, when known, names the front window among several. The look, and the tree with
// it, live as long as the tree's pending replies.
void findShowingPage(std::shared_ptr<AccessibleTree> tree, const NodeRef& application,
                     std::optional<std::string> windowTitle, const LookupLimits& limits,
                     std::function<void(std::optional<std::string>)> done);

}  // namespace quillmoss::tracker::atspi
