// Running applications from the window manager's client list; see x11_windows.h.
#include "linux_desktop/x11_windows.h"

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

std::optional<std::vector<RunningWindow>> listRunningApplications(const X11Connection& x,
                                                                  const DesktopEntryIndex& index,
                                                                  const AwaitReplies& await,
                                                                  WindowIdentities& identities) {
  xcb_connection_t* c = x.c;
  auto listCookie =
      xcb_get_property(c, 0, x.root, x.atoms.netClientList, XCB_ATOM_WINDOW, 0, 1 << 16);
  if (!await()) {
    xcb_discard_reply(c, listCookie.sequence);
    return std::nullopt;
  }
  XcbReply<xcb_get_property_reply_t> list(xcb_get_property_reply(c, listCookie, nullptr));
  if (!list || list->format != 32) return std::vector<RunningWindow>{};
  const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
  const int windowCount = xcb_get_property_value_length(list.get()) / 4;

  // Every question for every window goes out before the first answer is read.
  std::vector<Request> requests;
  requests.reserve(static_cast<std::size_t>(windowCount));
  for (int i = 0; i < windowCount; ++i) {
    xcb_window_t w = windows[i];
    requests.push_back(Request{
        requestWindowFacts(c, x.atoms, w, x.withClientPids),
        xcb_get_property(c, 0, w, x.atoms.netWmName, x.atoms.utf8String, 0, 1024),
        xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 1024),
    });
  }
  if (!await()) {
    for (const Request& request : requests) discard(c, request);
    return std::nullopt;
  }

  // Facts first for all windows, so that a dialog can take its owner's identity.
  std::vector<WindowInfo> infos;
  infos.reserve(requests.size());
  std::unordered_map<xcb_window_t, std::size_t> position;
  for (const Request& request : requests) {
    position.emplace(request.facts.window, infos.size());
    infos.push_back(collectWindowFacts(c, request.facts));
  }
  auto identityOf = [&](std::size_t i) -> std::optional<std::string> {
    // A dialog belongs to the application of the window it is transient for, as it does for
    // the tracker; a chain of dialogs is followed a few steps.
    for (int depth = 0; depth < 8; ++depth) {
      const xcb_window_t owner = infos[i].transientFor;
      auto it = position.find(owner);
      if (owner == XCB_WINDOW_NONE || it == position.end() || it->second == i) break;
      i = it->second;
    }
    return identities.of(requests[i].facts.window, infos[i].facts, index);
  };

  std::vector<RunningWindow> out;
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const Request& request = requests[i];
    XcbReply<xcb_get_property_reply_t> netName(
        xcb_get_property_reply(c, request.netWmName, nullptr));
    XcbReply<xcb_get_property_reply_t> name(xcb_get_property_reply(c, request.wmName, nullptr));
    auto identity = identityOf(i);
    if (!identity) continue;
    auto [it, inserted] = seen.emplace(*identity, out.size());
    if (!inserted) {
      out[it->second].windows.push_back(request.facts.window);
      continue;
    }
    RunningWindow window;
    window.identity = std::move(*identity);
    window.title = propertyText(netName.get()).value_or(propertyText(name.get()).value_or(""));
    window.windows.push_back(request.facts.window);
    out.push_back(std::move(window));
  }
  identities.forgetUnasked();
  return out;
}

std::vector<RunningWindow> listRunningApplications(const DesktopEntryIndex& index) {
  int screenNumber = 0;
  XcbConnection connection = connectDisplay(&screenNumber);
  if (!connection) return {};
  X11Connection x;
  x.c = connection.get();
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x.c));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return {};
  x.root = screens.data->root;
  auto atoms = internAtoms(x.c);
  if (!atoms) return {};
  x.atoms = *atoms;
  x.withClientPids = hasClientPids(x.c);
  // A connection of its own: replies are simply waited for.
  const AwaitReplies blocking = [] { return true; };
  WindowIdentities identities;
  auto out = listRunningApplications(x, index, blocking, identities)
                 .value_or(std::vector<RunningWindow>{});
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
