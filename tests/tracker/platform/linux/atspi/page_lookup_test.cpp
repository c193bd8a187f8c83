// The showing page of a browser's front window, over trees recorded from Firefox ESR and
// Chromium (trimmed), answered at once or in reverse order.
#include "platform/linux/atspi/page_lookup.h"

#include <gtest/gtest.h>

#include <deque>
#include <iomanip>
#include <memory>
#include <sstream>

namespace quillmoss::tracker::atspi {
namespace {

// A tree written as indented lines: role, "name", states, Key=value document attributes;
// "mute" makes a node answer nothing.
class RecordedTree final : public AccessibleTree {
 public:
  RecordedTree(const std::string& text, bool reversed) : reversed_(reversed) {
    static const std::map<std::string, std::uint32_t> kRoles = {
        {"application", role::kApplication},
        {"frame", role::kFrame},
        {"panel", role::kPanel},
        {"scroll_pane", role::kScrollPane},
        {"internal_frame", role::kInternalFrame},
        {"document_web", role::kDocumentWeb},
        {"tool_bar", 63},
        {"page_tab_list", 38},
        {"page_tab", 37},
        {"push_button", 43}};
    static const std::map<std::string, std::uint64_t> kStates = {
        {"active", state::kActive}, {"focused", state::kFocused}, {"showing", state::kShowing}};
    std::istringstream lines(text);
    std::vector<std::size_t> parents;
    for (std::string line; std::getline(lines, line);) {
      const std::size_t depth = line.find_first_not_of(' ') / 2;
      if (depth == std::string::npos / 2) continue;
      std::istringstream words(line.substr(depth * 2));
      Node node;
      std::string word;
      words >> word;
      node.facts.role = kRoles.at(word);
      while (words >> std::ws && !words.eof()) {
        if (words.peek() == '"') {
          words >> std::quoted(node.facts.name);
          continue;
        }
        words >> word;
        if (auto eq = word.find('='); eq != std::string::npos) {
          node.attributes[word.substr(0, eq)] = word.substr(eq + 1);
        } else if (word == "mute") {
          node.mute = true;
        } else {
          node.facts.states |= kStates.at(word);
        }
      }
      parents.resize(depth);
      if (depth > 0) nodes_[parents.back()].children.push_back(nodes_.size());
      parents.push_back(nodes_.size());
      nodes_.push_back(std::move(node));
    }
  }

  void children(const NodeRef& ref, Reply<std::vector<NodeRef>> reply) override {
    const Node& node = at(ref);
    std::vector<NodeRef> refs;
    for (std::size_t child : node.children) refs.push_back(refOf(child));
    answer(
        node, [reply, refs] { reply(refs); }, [reply] { reply(std::nullopt); });
  }
  void facts(const NodeRef& ref, bool withName, Reply<NodeFacts> reply) override {
    NodeFacts facts = at(ref).facts;
    if (!withName) facts.name.clear();
    ++factsAsked;
    answer(
        at(ref), [reply, facts] { reply(facts); }, [reply] { reply(std::nullopt); });
  }
  void documentAttributes(const NodeRef& ref, Reply<Attributes> reply) override {
    const Attributes attributes = at(ref).attributes;
    answer(
        at(ref), [reply, attributes] { reply(attributes); }, [reply] { reply(std::nullopt); });
  }

  // Answers what was asked, newest first, until nothing is left.
  void answerAll() {
    while (!queued_.empty()) {
      auto next = std::move(queued_.back());
      queued_.pop_back();
      next();
    }
  }
  static NodeRef refOf(std::size_t index) { return {":1.7", "/n" + std::to_string(index)}; }
  std::size_t factsAsked = 0;

 private:
  struct Node {
    NodeFacts facts;
    Attributes attributes;
    std::vector<std::size_t> children;
    bool mute = false;
  };
  const Node& at(const NodeRef& ref) const { return nodes_.at(std::stoul(ref.path.substr(2))); }
  void answer(const Node& node, std::function<void()> ok, std::function<void()> failed) {
    auto reply = node.mute ? std::move(failed) : std::move(ok);
    if (reversed_) {
      queued_.push_back(std::move(reply));
    } else {
      reply();
    }
  }

  std::vector<Node> nodes_;
  bool reversed_;
  std::deque<std::function<void()>> queued_;
};

constexpr char kFirefox[] = R"(application
  frame "Other" showing
    panel showing
      document_web showing DocURL=http://other.example/
  frame "Alpha" active showing
    tool_bar showing
      page_tab_list showing
        page_tab showing
          push_button showing
    panel showing
      scroll_pane
        internal_frame
          document_web DocURL=http://localhost:8765/b.html
      scroll_pane showing
        internal_frame showing
          document_web focused showing DocURL=http://127.0.0.1:8765/a.html
      scroll_pane
        internal_frame
          document_web DocURL=about:newtab
)";

// Chromium marks no frame active, keeps two unnamed frames with empty documents, and shows the
// active tab's document only.
constexpr char kChromium[] = R"(application
  frame "Alpha - Chromium" showing
    panel showing
      panel showing
        document_web URI=http://hidden.example/
        document_web focused showing URI=http://127.0.0.1:8765/a.html
  frame "" showing
    panel showing
      document_web focused showing URI=
  frame "Beta - Chromium" showing
    panel showing
      panel showing
        document_web focused showing URI=http://localhost:8765/b.html
)";

TEST(PageLookupTest, TheShowingDocumentOfTheFrontFrame) {
  const std::string chromiumAlone =
      std::string(kChromium).substr(0, std::string(kChromium).find("  frame \"Beta"));
  struct Case {
    const char* what;
    std::string tree;
    std::optional<std::string> title;
    std::optional<std::string> address;
  };
  const Case cases[] = {
      {"firefox: the active frame, its showing tab", kFirefox, "Other",
       "http://127.0.0.1:8765/a.html"},
      {"chromium: one window", chromiumAlone, std::nullopt, "http://127.0.0.1:8765/a.html"},
      {"chromium: two windows, the titled one", kChromium, "Beta - Chromium",
       "http://localhost:8765/b.html"},
      {"chromium: two windows, no title", kChromium, std::nullopt, std::nullopt},
      {"chromium: two windows, an unknown title", kChromium, "Gamma", std::nullopt},
      {"two showing views: the focused one",
       "application\n  frame active\n    panel showing\n"
       "      document_web showing DocURL=http://a.example/\n"
       "      document_web showing focused DocURL=http://b.example/\n",
       std::nullopt, "http://b.example/"},
      {"two showing views: the first",
       "application\n  frame active\n    panel showing\n"
       "      document_web showing DocURL=http://a.example/\n"
       "      document_web showing DocURL=http://b.example/\n",
       std::nullopt, "http://a.example/"},
      {"no frame", "application\n", std::nullopt, std::nullopt},
      {"no showing document",
       "application\n  frame active\n    document_web DocURL=http://a.example/\n", std::nullopt,
       std::nullopt},
      {"a mute container",
       "application\n  frame active\n    panel showing mute\n"
       "      document_web showing DocURL=http://a.example/\n    panel showing\n"
       "      document_web showing DocURL=http://b.example/\n",
       std::nullopt, "http://b.example/"},
      {"a mute application", "application mute\n  frame active\n", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    for (bool reversed : {false, true}) {
      auto tree = std::make_shared<RecordedTree>(c.tree, reversed);
      std::optional<std::optional<std::string>> found;
      findShowingPage(tree, RecordedTree::refOf(0), c.title, {},
                      [&](std::optional<std::string> address) { found = address; });
      tree->answerAll();
      ASSERT_TRUE(found) << c.what;
      EXPECT_EQ(*found, c.address) << c.what << (reversed ? ", reversed" : "");
    }
  }
}

TEST(PageLookupTest, ALookStaysWithinItsNodeBudget) {
  // Many showing panels ahead of the page: the look gives up rather than walk them all.
  std::string text = "application\n  frame active\n";
  for (int i = 0; i < 50; ++i) text += "    panel showing\n      panel showing\n";
  text += "    panel showing\n      document_web showing DocURL=http://a.example/\n";
  const LookupLimits limits{.maxNodes = 60};
  auto tree = std::make_shared<RecordedTree>(text, false);
  std::optional<std::optional<std::string>> found;
  findShowingPage(tree, RecordedTree::refOf(0), std::nullopt, limits,
                  [&](std::optional<std::string> address) { found = address; });
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, std::nullopt);
  EXPECT_LE(tree->factsAsked, limits.maxNodes);
}

}  // namespace
}  // namespace quillmoss::tracker::atspi
