// Running applications from the window manager's client list; see x11_windows.h.
#include "linux_desktop/x11_windows.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

#include "linux_desktop/x11_window_facts.h"

namespace quillmoss::desktop {
namespace {

struct Request {
  WindowFactsRequest facts;
  xcb_get_property_cookie_t netWmName;
  xcb_get_property_cookie_t wmName;
};

void discard(xcb_connection_t* c, const Request& request) {
  for (const auto& cookie : {request.facts.wmClass, request.facts.gtkApplicationId,
                             request.facts.netWmPid, request.facts.clientMachine,
                             request.facts.transientFor, request.netWmName, request.wmName}) {
    xcb_discard_reply(c, cookie.sequence);
  }
  if (request.facts.clientIds) xcb_discard_reply(c, request.facts.clientIds->sequence);
}

}  // namespace

std::size_t listedOwner(const std::vector<ListedWindow>& windows, std::size_t i,
                        xcb_window_t root) {
  // As for the tracker, a dialog counts for its owner, but only for one that is listed.
  for (int depth = 0;; ++depth) {
    const auto owner = transientOwner(windows[i].window, windows[i].transientFor, root, depth);
    const auto listed = std::find_if(windows.begin(), windows.end(), [&](const ListedWindow& w) {
      return owner && w.window == *owner;
    });
    if (listed == windows.end()) return i;
    i = static_cast<std::size_t>(listed - windows.begin());
  }
}

std::vector<RunningWindow> groupByApplication(std::vector<ClientWindow> windows) {
  std::vector<RunningWindow> out;
  std::unordered_map<std::string, std::size_t> seen;
  for (ClientWindow& client : windows) {
    if (!client.identity) continue;
    auto [it, inserted] = seen.emplace(*client.identity, out.size());
    if (!inserted) {
      out[it->second].windows.push_back(client.window);
      continue;
    }
    RunningWindow window;
    window.identity = std::move(*client.identity);
    window.title = std::move(client.title);
    window.windows.push_back(client.window);
    out.push_back(std::move(window));
  }
  return out;
}

bool largestIcon(const std::uint32_t* data, std::size_t count, RunningWindow& window) {
  auto icon = pickIcon(data, count, INT_MAX);
  if (!icon) return false;
  window.iconWidth = icon->width;
  window.iconHeight = icon->height;
  window.iconArgb = std::move(icon->argb);
  return true;
}

std::optional<std::string> WindowIdentities::of(std::uint32_t window, const WindowFacts& facts,
                                                const DesktopEntryIndex& index) {
  if (index.scanId() != scanId_) {
    known_.clear();
    scanId_ = index.scanId();
  }
  auto it = known_.find(window);
  if (it == known_.end() || it->second.facts != facts) {
    it = known_.insert_or_assign(window, Known{facts, applicationIdentity(facts, index)}).first;
  }
  it->second.asked = true;
  return it->second.identity;
}

void WindowIdentities::forgetUnasked() {
  std::erase_if(known_, [](const auto& known) { return !known.second.asked; });
  for (auto& [window, known] : known_) known.asked = false;
}

void WindowCache::noteEvent(const xcb_generic_event_t& event, const X11Atoms& atoms,
                            xcb_window_t root) {
  const auto type = event.response_type & 0x7f;
  if (type == XCB_DESTROY_NOTIFY) {
    known_.erase(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
    return;
  }
  if (type != XCB_PROPERTY_NOTIFY) return;
  const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
  if (notify.window == root) {
    if (notify.atom == atoms.netClientList) clientList_.reset();
    return;
  }
  // Only what a listing reads; _NET_WM_USER_TIME and the like change all the time.
  for (xcb_atom_t read :
       {xcb_atom_t(XCB_ATOM_WM_CLASS), atoms.gtkApplicationId, atoms.netWmPid,
        xcb_atom_t(XCB_ATOM_WM_CLIENT_MACHINE), xcb_atom_t(XCB_ATOM_WM_TRANSIENT_FOR),
        atoms.netWmName, xcb_atom_t(XCB_ATOM_WM_NAME)}) {
    if (notify.atom == read && known_.contains(notify.window)) changed_.insert(notify.window);
  }
}

std::optional<std::vector<ClientWindow>> listClientWindows(const X11Connection& x,
                                                           const DesktopEntryIndex& index,
                                                           const AwaitReplies& await,
                                                           WindowCache& cache) {
  xcb_connection_t* c = x.c;
  // Selected before anything is read: a change after the read comes as an event.
  const std::uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
  const std::uint32_t windowEvents =
      XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  if (!cache.clientList_) {
    xcb_change_window_attributes(c, x.root, XCB_CW_EVENT_MASK, &rootEvents);
    auto listCookie =
        xcb_get_property(c, 0, x.root, x.atoms.netClientList, XCB_ATOM_WINDOW, 0, 1 << 16);
    if (!await()) {
      xcb_discard_reply(c, listCookie.sequence);
      return std::nullopt;
    }
    XcbReply<xcb_get_property_reply_t> list(xcb_get_property_reply(c, listCookie, nullptr));
    std::vector<xcb_window_t> windows;
    if (list && list->format == 32) {
      const auto* first = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
      windows.assign(first, first + xcb_get_property_value_length(list.get()) / 4);
    }
    cache.clientList_ = std::move(windows);
  }
  const std::vector<xcb_window_t>& windows = *cache.clientList_;

  // Every question for every new or changed window goes out before the first answer is read.
  std::vector<Request> requests;
  for (xcb_window_t w : windows) {
    const bool known = cache.known_.contains(w);
    if (known && !cache.changed_.contains(w)) continue;
    if (!known) xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &windowEvents);
    requests.push_back(Request{
        requestWindowFacts(c, x.atoms, w, x.withClientPids),
        xcb_get_property(c, 0, w, x.atoms.netWmName, x.atoms.utf8String, 0, 1024),
        xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 1024),
    });
  }
  if (!requests.empty() && !await()) {
    for (const Request& request : requests) discard(c, request);
    return std::nullopt;
  }
  for (const Request& request : requests) {
    WindowCache::Known& known = cache.known_[request.facts.window];
    known.info = collectWindowFacts(c, request.facts);
    XcbReply<xcb_get_property_reply_t> netName(
        xcb_get_property_reply(c, request.netWmName, nullptr));
    XcbReply<xcb_get_property_reply_t> name(xcb_get_property_reply(c, request.wmName, nullptr));
    known.title = propertyText(netName.get()).value_or(propertyText(name.get()).value_or(""));
  }
  cache.changed_.clear();
  const std::unordered_set<xcb_window_t> listed(windows.begin(), windows.end());
  std::erase_if(cache.known_, [&](const auto& known) { return !listed.contains(known.first); });

  // A window destroyed while its answers were on the way is no longer known.
  std::vector<ListedWindow> listedWindows;
  std::vector<const WindowCache::Known*> facts;
  for (xcb_window_t w : windows) {
    auto it = cache.known_.find(w);
    if (it == cache.known_.end()) continue;
    listedWindows.push_back({w, it->second.info.transientFor});
    facts.push_back(&it->second);
  }
  std::vector<ClientWindow> out;
  for (std::size_t i = 0; i < listedWindows.size(); ++i) {
    const std::size_t owner = listedOwner(listedWindows, i, x.root);
    out.push_back(
        {listedWindows[i].window, facts[i]->info.facts.wmInstance, facts[i]->info.facts.wmClass,
         facts[i]->title,
         cache.identities_.of(listedWindows[owner].window, facts[owner]->info.facts, index)});
  }
  cache.identities_.forgetUnasked();
  return out;
}

std::optional<std::vector<RunningWindow>> listRunningApplications(const X11Connection& x,
                                                                  const DesktopEntryIndex& index,
                                                                  const AwaitReplies& await,
                                                                  WindowCache& cache) {
  auto windows = listClientWindows(x, index, await, cache);
  if (!windows) return std::nullopt;
  return groupByApplication(std::move(*windows));
}

std::vector<RunningWindow> listRunningApplications(const DesktopEntryIndex& index) {
  auto display = openDisplay();
  if (!display) return {};
  const X11Connection& x = display->x;
  // A connection of its own: replies are simply waited for.
  const AwaitReplies blocking = [] { return true; };
  WindowCache cache;
  auto out =
      listRunningApplications(x, index, blocking, cache).value_or(std::vector<RunningWindow>{});
  for (RunningWindow& window : out) {
    if (auto icon = fetchWindowIcon(x, window.windows, INT_MAX, blocking)) {
      window.iconWidth = icon->width;
      window.iconHeight = icon->height;
      window.iconArgb = std::move(icon->argb);
    }
  }
  return out;
}

}  // namespace quillmoss::desktop
