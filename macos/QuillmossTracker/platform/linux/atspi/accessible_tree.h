// An application's accessible tree as the accessibility bus (AT-SPI) shows it, asked node by
// node without waiting: what a look for a browser's page needs of it, and nothing more.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillmoss::tracker::atspi {

// AT-SPI role numbers (AtspiRole) the look tells apart.
namespace role {
inline constexpr std::uint32_t kAlert = 2, kDialog = 16, kFiller = 20, kFrame = 23,
                               kInternalFrame = 28, kLayeredPane = 30, kPanel = 39, kRootPane = 46,
                               kScrollPane = 49, kSplitPane = 53, kViewport = 68, kWindow = 69,
                               kApplication = 75, kEmbedded = 78, kSection = 85, kDocumentWeb = 95,
                               kGrouping = 99;
}  // namespace role

// AT-SPI state bits (AtspiStateType), as the two 32-bit words of GetState make one.
namespace state {
inline constexpr std::uint64_t kActive = 1ull << 1, kFocused = 1ull << 12, kShowing = 1ull << 25,
                               kVisible = 1ull << 30;
}  // namespace state

// An accessible object: the bus name of its application and its object path.
struct NodeRef {
  std::string bus;
  std::string path;

  bool operator==(const NodeRef&) const = default;
};

struct NodeFacts {
  std::uint32_t role = 0;
  std::uint64_t states = 0;
  std::string name;  // only when asked for
};

using Attributes = std::map<std::string, std::string>;

class AccessibleTree {
 public:
  template <class T>
  using Reply = std::function<void(std::optional<T>)>;

  virtual ~AccessibleTree() = default;
  // Each reply runs once, inside the call or later; nullopt when the node did not answer.
  virtual void children(const NodeRef& node, Reply<std::vector<NodeRef>> reply) = 0;
  virtual void facts(const NodeRef& node, bool withName, Reply<NodeFacts> reply) = 0;
  // The attributes of a document (AT-SPI's Document interface).
  virtual void documentAttributes(const NodeRef& node, Reply<Attributes> reply) = 0;
};

}  // namespace quillmoss::tracker::atspi
