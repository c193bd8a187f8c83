// An application's accessible tree over the accessibility bus: each question to a node is one
// method call, or a few made at once, through a call function that holds the connection, the
// time limit and the cancellation of one look. No more is read of a reply than a look can use.
#pragma once

#include <gio/gio.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "linux_desktop/dbus.h"
#include "platform/linux/atspi/accessible_tree.h"

namespace quillmoss::tracker::atspi {

inline constexpr char kAccessibleInterface[] = "org.a11y.atspi.Accessible";

// Calls method of interface on node; done gets the reply, or nullptr on any failure.
using BusCall = std::function<void(const NodeRef& node, const char* interface, const char* method,
                                   GVariant* arguments, const char* replyType,
                                   std::function<void(desktop::VariantPtr)> done)>;

// The (so) references of an a(so) value, without the null object, at most `most`.
std::vector<NodeRef> references(GVariant* list, std::size_t most);

class BusTree final : public AccessibleTree {
 public:
  explicit BusTree(BusCall call) : call_(std::move(call)) {}

  void children(const NodeRef& node, Reply<std::vector<NodeRef>> reply) override;
  void facts(const NodeRef& node, bool withName, Reply<NodeFacts> reply) override;
  void documentAttributes(const NodeRef& node, Reply<Attributes> reply) override;

 private:
  BusCall call_;
};

}  // namespace quillmoss::tracker::atspi
