// The windows a compositor lists (zwlr_foreign_toplevel_manager_v1) as its events describe
// them: a window's changes take effect at its "done", a closed window leaves at once, and
// every change that takes effect is reported.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmoss::desktop {

struct WaylandToplevel {
  std::string appId, title;
  bool activated = false;
  // The index in toplevels() of the window this one is a dialog of, as the compositor reports.
  std::optional<std::size_t> parent;
};

class ToplevelList {
 public:
  // The compositor's handle of a window.
  using Key = const void*;
  // A compositor that sends more than these is not trusted with our memory.
  static constexpr std::size_t kMaxToplevels = 4096;
  static constexpr std::size_t kMaxTextBytes = 4096;

  void onChanged(std::function<void()> changed) { changed_ = std::move(changed); }

  // False when the list is full: the window is then left out.
  bool add(Key key);
  void setTitle(Key key, std::string_view title);
  void setAppId(Key key, std::string_view appId);
  void setActivated(Key key, bool activated);
  void setParent(Key key, Key parent);
  void done(Key key);
  void closed(Key key);

  // In the order the compositor announced them.
  std::vector<WaylandToplevel> toplevels() const;

 private:
  struct Entry {
    Key key;
    WaylandToplevel current, pending;
    Key currentParent = nullptr, pendingParent = nullptr;
  };
  Entry* find(Key key);
  void changed();

  std::vector<Entry> entries_;
  std::function<void()> changed_;
};

}  // namespace quillmoss::desktop
