// The accessible tree over the accessibility bus; see bus_tree.h.
#include "platform/linux/atspi/bus_tree.h"

#include <memory>
#include <string>
#include <string_view>

namespace quillmoss::tracker::atspi {
namespace {

using desktop::VariantPtr;

constexpr char kDocument[] = "org.a11y.atspi.Document";
// Where a toolkit points a reference to no object.
constexpr char kNullPath[] = "/org/a11y/atspi/null";
// However much a peer sends, no more than this is read of it.
constexpr std::size_t kMaxChildrenRead = 1024;
constexpr std::size_t kMaxAttributes = 64;
constexpr std::size_t kMaxTextBytes = 64 * 1024;

std::string bounded(const char* text) {
  std::string_view view(text);
  return std::string(view.substr(0, kMaxTextBytes));
}

}  // namespace

// (so) references, without the null object, as many as may be read.
std::vector<NodeRef> references(GVariant* list, std::size_t most) {
  std::vector<NodeRef> refs;
  GVariantIter iter;
  g_variant_iter_init(&iter, list);
  const gchar *name = nullptr, *path = nullptr;
  while (refs.size() < most && g_variant_iter_next(&iter, "(&s&o)", &name, &path)) {
    if (std::string_view(path) != kNullPath) refs.push_back(NodeRef{name, path});
  }
  return refs;
}

void BusTree::children(const NodeRef& node, Reply<std::vector<NodeRef>> reply) {
  call_(node, kAccessibleInterface, "GetChildren", nullptr, "(a(so))",
        [reply = std::move(reply)](VariantPtr answer) {
          if (!answer) return reply(std::nullopt);
          GVariant* list = g_variant_get_child_value(answer.get(), 0);
          reply(references(list, kMaxChildrenRead));
          g_variant_unref(list);
        });
}

void BusTree::facts(const NodeRef& node, bool withName, Reply<NodeFacts> reply) {
  struct Parts {
    NodeFacts facts;
    bool role = false, states = false;
    int left;
    Reply<NodeFacts> reply;
  };
  auto parts = std::make_shared<Parts>(Parts{{}, false, false, withName ? 3 : 2, std::move(reply)});
  const auto arrived = [parts] {
    if (--parts->left > 0) return;
    if (parts->role && parts->states) return parts->reply(std::move(parts->facts));
    parts->reply(std::nullopt);
  };
  call_(node, kAccessibleInterface, "GetRole", nullptr, "(u)", [parts, arrived](VariantPtr answer) {
    if (answer) {
      g_variant_get(answer.get(), "(u)", &parts->facts.role);
      parts->role = true;
    }
    arrived();
  });
  call_(node, kAccessibleInterface, "GetState", nullptr, "(au)",
        [parts, arrived](VariantPtr answer) {
          if (answer) {
            GVariant* words = g_variant_get_child_value(answer.get(), 0);
            gsize count = 0;
            const auto* bits = static_cast<const guint32*>(
                g_variant_get_fixed_array(words, &count, sizeof(guint32)));
            if (count > 0) parts->facts.states = bits[0];
            if (count > 1) parts->facts.states |= std::uint64_t{bits[1]} << 32;
            parts->states = true;
            g_variant_unref(words);
          }
          arrived();
        });
  if (!withName) return;
  call_(node, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kAccessibleInterface, "Name"), "(v)",
        [parts, arrived](VariantPtr answer) {
          if (answer) {
            GVariant* value = nullptr;
            g_variant_get(answer.get(), "(v)", &value);
            if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
              parts->facts.name = bounded(g_variant_get_string(value, nullptr));
            }
            g_variant_unref(value);
          }
          arrived();
        });
}

void BusTree::documentAttributes(const NodeRef& node, Reply<Attributes> reply) {
  call_(node, kDocument, "GetAttributes", nullptr, "(a{ss})",
        [reply = std::move(reply)](VariantPtr answer) {
          if (!answer) return reply(std::nullopt);
          Attributes attributes;
          GVariantIter* iter = nullptr;
          g_variant_get(answer.get(), "(a{ss})", &iter);
          const gchar *key = nullptr, *value = nullptr;
          while (attributes.size() < kMaxAttributes &&
                 g_variant_iter_next(iter, "{&s&s}", &key, &value)) {
            attributes.emplace(bounded(key), bounded(value));
          }
          g_variant_iter_free(iter);
          reply(std::move(attributes));
        });
}

}  // namespace quillmoss::tracker::atspi
