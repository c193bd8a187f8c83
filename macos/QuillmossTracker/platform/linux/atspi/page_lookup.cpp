// The showing page of a browser's front window; see page_lookup.h.
#include "platform/linux/atspi/page_lookup.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace quillmoss::tracker::atspi {
namespace {

// Roles that hold a browser's pages among their descendants. Tool bars, tab strips, menus and
// the like never do, so their often many children are not asked about.
bool leadsToPage(const NodeFacts& facts) {
  static const std::set<std::uint32_t> kContainers = {
      role::kFiller,   role::kFrame,      role::kInternalFrame, role::kLayeredPane, role::kPanel,
      role::kRootPane, role::kScrollPane, role::kSplitPane,     role::kViewport,    role::kWindow,
      role::kEmbedded, role::kSection,    role::kGrouping};
  return (facts.states & state::kShowing) != 0 && kContainers.contains(facts.role);
}

bool isShowingPage(const NodeFacts& facts) {
  return facts.role == role::kDocumentWeb && (facts.states & state::kShowing) != 0;
}

bool isWindow(const NodeFacts& facts) {
  return facts.role == role::kFrame || facts.role == role::kWindow || facts.role == role::kDialog;
}

// Firefox names a document's address DocURL, Chromium URI.
std::string addressOf(const Attributes& attributes) {
  for (const char* name : {"DocURL", "URI"}) {
    if (auto it = attributes.find(name); it != attributes.end() && !it->second.empty()) {
      return it->second;
    }
  }
  return {};
}

struct Place {
  NodeRef node;
  std::size_t frame = 0;
  std::vector<std::size_t> position;  // child indices from the application down
};

struct Page {
  Place place;
  bool focused = false;
  std::string address;
};

class Lookup : public std::enable_shared_from_this<Lookup> {
 public:
  using Done = std::function<void(std::optional<std::string>)>;

  Lookup(std::shared_ptr<AccessibleTree> tree, std::optional<std::string> title,
         LookupLimits limits, Done done)
      : tree_(std::move(tree)), title_(std::move(title)), limits_(limits), done_(std::move(done)) {}

  void start(const NodeRef& application) {
    auto self = shared_from_this();
    tree_->children(application, [self](std::optional<std::vector<NodeRef>> frames) {
      self->framesListed(std::move(frames));
    });
  }

 private:
  // Replies may come inside the call that asks; a phase's next step runs once all of its
  // replies and its own asking are done.
  void expect() { ++pending_; }
  void arrived(void (Lookup::*next)()) {
    if (--pending_ == 0) (this->*next)();
  }

  void framesListed(std::optional<std::vector<NodeRef>> frames) {
    if (!frames) return finish(std::nullopt);
    frames->resize(std::min(frames->size(), limits_.maxChildren));
    frames_ = std::move(*frames);
    frameFacts_.assign(frames_.size(), std::nullopt);
    auto self = shared_from_this();
    expect();
    for (std::size_t i = 0; i < frames_.size() && nodes_ < limits_.maxNodes; ++i, ++nodes_) {
      expect();
      tree_->facts(frames_[i], true, [self, i](std::optional<NodeFacts> facts) {
        self->frameFacts_[i] = std::move(facts);
        self->arrived(&Lookup::framesKnown);
      });
    }
    arrived(&Lookup::framesKnown);
  }

  // The active frame; else (Chromium marks none active) the one named as the window in front;
  // else every showing one, and the pages they show must then agree.
  void framesKnown() {
    std::vector<std::size_t> chosen;
    const auto pick = [&](auto&& test) {
      for (std::size_t i = 0; i < frameFacts_.size(); ++i) {
        if (frameFacts_[i] && isWindow(*frameFacts_[i]) && test(*frameFacts_[i])) {
          chosen.push_back(i);
        }
      }
    };
    pick([](const NodeFacts& f) { return (f.states & state::kActive) != 0; });
    if (chosen.empty() && title_) pick([&](const NodeFacts& f) { return f.name == *title_; });
    if (chosen.empty()) pick([](const NodeFacts& f) { return (f.states & state::kShowing) != 0; });
    for (std::size_t i : chosen) level_.push_back(Place{frames_[i], i, {i}});
    walkLevel();
  }

  // Breadth first, one level at a time, so that the node budget goes to the shallow nodes
  // whatever order the replies come in.
  void walkLevel() {
    if (level_.empty() || depth_ >= limits_.maxDepth) return readAddresses();
    ++depth_;
    lists_.assign(level_.size(), {});
    auto self = shared_from_this();
    expect();
    for (std::size_t i = 0; i < level_.size(); ++i) {
      expect();
      tree_->children(level_[i].node, [self, i](std::optional<std::vector<NodeRef>> children) {
        if (children) self->lists_[i] = std::move(*children);
        self->arrived(&Lookup::childrenListed);
      });
    }
    arrived(&Lookup::childrenListed);
  }

  void childrenListed() {
    asked_.clear();
    for (std::size_t i = 0; i < level_.size(); ++i) {
      const std::size_t count = std::min(lists_[i].size(), limits_.maxChildren);
      for (std::size_t j = 0; j < count && nodes_ < limits_.maxNodes; ++j, ++nodes_) {
        Place child{std::move(lists_[i][j]), level_[i].frame, level_[i].position};
        child.position.push_back(j);
        asked_.emplace_back(std::move(child), std::nullopt);
      }
    }
    auto self = shared_from_this();
    expect();
    for (std::size_t k = 0; k < asked_.size(); ++k) {
      expect();
      tree_->facts(asked_[k].first.node, false, [self, k](std::optional<NodeFacts> facts) {
        self->asked_[k].second = std::move(facts);
        self->arrived(&Lookup::childrenKnown);
      });
    }
    arrived(&Lookup::childrenKnown);
  }

  void childrenKnown() {
    level_.clear();
    for (auto& [place, facts] : asked_) {
      if (!facts) continue;
      // A page's own content and frames are not looked into.
      if (isShowingPage(*facts)) {
        pages_.push_back(Page{std::move(place), (facts->states & state::kFocused) != 0, {}});
      } else if (leadsToPage(*facts)) {
        level_.push_back(std::move(place));
      }
    }
    walkLevel();
  }

  void readAddresses() {
    auto self = shared_from_this();
    expect();
    for (std::size_t k = 0; k < pages_.size(); ++k) {
      expect();
      tree_->documentAttributes(pages_[k].place.node, [self, k](std::optional<Attributes> a) {
        if (a) self->pages_[k].address = addressOf(*a);
        self->arrived(&Lookup::choose);
      });
    }
    arrived(&Lookup::choose);
  }

  // A focused page goes before others (two views side by side); pages of different frames
  // must agree, as nothing tells which frame is in front.
  void choose() {
    std::erase_if(pages_, [](const Page& page) { return page.address.empty(); });
    if (std::any_of(pages_.begin(), pages_.end(), [](const Page& p) { return p.focused; })) {
      std::erase_if(pages_, [](const Page& page) { return !page.focused; });
    }
    if (pages_.empty()) return finish(std::nullopt);
    for (const Page& page : pages_) {
      if (page.place.frame != pages_.front().place.frame &&
          page.address != pages_.front().address) {
        return finish(std::nullopt);
      }
    }
    std::sort(pages_.begin(), pages_.end(), [](const Page& a, const Page& b) {
      return std::pair(a.place.position.size(), a.place.position) <
             std::pair(b.place.position.size(), b.place.position);
    });
    finish(pages_.front().address);
  }

  void finish(std::optional<std::string> address) {
    if (auto done = std::exchange(done_, nullptr)) done(std::move(address));
  }

  const std::shared_ptr<AccessibleTree> tree_;
  const std::optional<std::string> title_;
  const LookupLimits limits_;
  Done done_;
  std::size_t pending_ = 0, nodes_ = 0, depth_ = 0;
  std::vector<NodeRef> frames_;
  std::vector<std::optional<NodeFacts>> frameFacts_;
  std::vector<Place> level_;
  std::vector<std::vector<NodeRef>> lists_;
  std::vector<std::pair<Place, std::optional<NodeFacts>>> asked_;
  std::vector<Page> pages_;
};

}  // namespace

void findShowingPage(std::shared_ptr<AccessibleTree> tree, const NodeRef& application,
                     std::optional<std::string> windowTitle, const LookupLimits& limits,
                     std::function<void(std::optional<std::string>)> done) {
  std::make_shared<Lookup>(std::move(tree), std::move(windowTitle), limits, std::move(done))
      ->start(application);
}

}  // namespace quillmoss::tracker::atspi
