// The applications that have windows on the X display, with a title and an icon for each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "linux_desktop/client_window.h"
#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/running_window.h"
#include "linux_desktop/x11_window_icon.h"

namespace quillmoss::desktop {

// The client windows of _NET_CLIENT_LIST in its order, one per application identity (the first
// window of each; its icon from a later window when the first has none). A dialog counts for
// the window it is transient for. Opens its own
// connection to $DISPLAY; an empty list when there is no display.
std::vector<RunningWindow> listRunningApplications(const DesktopEntryIndex& index);

// The identity found for each window while its facts and the index's scan stay the same: a
// kept connection then reads /proc only for the windows that are new or changed.
class WindowIdentities {
 public:
  std::optional<std::string> of(std::uint32_t window, const WindowFacts& facts,
                                const DesktopEntryIndex& index);
  // Forgets the windows that were not asked about since the last call.
  void forgetUnasked();

 private:
  struct Known {
    WindowFacts facts;
    std::optional<std::string> identity;
    bool asked = true;
  };
  std::uint64_t scanId_ = 0;
  std::unordered_map<std::uint32_t, Known> known_;
};

// What a kept connection has learnt of the client list and its windows, kept current through
// the events a listing selects (property changes, and destruction, since a new window may take
// a destroyed one's id): a listing then asks the server only about windows new or changed.
// Belongs to one connection; clear() it when that one goes.
class WindowCache {
 public:
  // Takes note of an event read from the connection; others are ignored.
  void noteEvent(const xcb_generic_event_t& event, const X11Atoms& atoms, xcb_window_t root);
  void clear() { *this = WindowCache(); }

 private:
  struct Known {
    WindowInfo info;
    std::string title;
  };
  friend std::optional<std::vector<ClientWindow>> listClientWindows(const X11Connection&,
                                                                    const DesktopEntryIndex&,
                                                                    const AwaitReplies&,
                                                                    WindowCache&);

  std::optional<std::vector<xcb_window_t>> clientList_;  // nullopt: to be read
  std::unordered_map<xcb_window_t, Known> known_;
  std::unordered_set<xcb_window_t> changed_;
  WindowIdentities identities_;
};

// Every client window of _NET_CLIENT_LIST in its order, asked as below.
std::optional<std::vector<ClientWindow>> listClientWindows(const X11Connection& x,
                                                           const DesktopEntryIndex& index,
                                                           const AwaitReplies& await,
                                                           WindowCache& cache);

// The same over a connection the caller keeps, without icons: only identity and title are
// asked for, and only where `cache` has no current answer. nullopt when the server does not
// answer in time.
std::optional<std::vector<RunningWindow>> listRunningApplications(const X11Connection& x,
                                                                  const DesktopEntryIndex& index,
                                                                  const AwaitReplies& await,
                                                                  WindowCache& cache);

// A window of the client list and the window it says it is transient for.
struct ListedWindow {
  xcb_window_t window = XCB_WINDOW_NONE;
  xcb_window_t transientFor = XCB_WINDOW_NONE;
};

// The index of the window whose application the window at `i` counts for: a dialog's owner
// (along a chain of them, see transientOwner()) when that one is listed too; else `i`.
std::size_t listedOwner(const std::vector<ListedWindow>& windows, std::size_t i, xcb_window_t root);

// One row per application identity, in the windows' order: the first window's title and every
// window of it (a later one may have the icon). Windows without an identity are left out.
std::vector<RunningWindow> groupByApplication(std::vector<ClientWindow> windows);

// Picks the largest image of a _NET_WM_ICON value (width, height, then width*height pixels,
// repeated). Malformed trailing data is ignored. False when there is no whole image.
bool largestIcon(const std::uint32_t* data, std::size_t count, RunningWindow& window);

}  // namespace quillmoss::desktop
