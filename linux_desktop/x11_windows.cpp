// Running applications from the window manager's client list; see x11_windows.h.
#include "linux_desktop/x11_windows.h"

#include <unordered_map>

#include "linux_desktop/x11_window_facts.h"

namespace quillmoss::desktop {
namespace {

// 1024 × 1024 pixels is more than any real window icon; larger claims are not trusted.
constexpr std::uint64_t kMaxIconPixels = 1024 * 1024;
// All sizes of one window's icon together, in 32-bit units (16 MiB).
constexpr std::uint32_t kIconFetchUnits = 4 * 1024 * 1024;

struct Request {
  WindowFactsRequest facts;
  xcb_get_property_cookie_t netWmName;
  xcb_get_property_cookie_t wmName;
  xcb_get_property_cookie_t icon;
};

}  // namespace

bool largestIcon(const std::uint32_t* data, std::size_t count, RunningWindow& window) {
  bool found = false;
  std::size_t best = 0;
  std::uint64_t bestPixels = 0;
  std::size_t at = 0;
  while (count - at >= 2) {
    std::uint64_t width = data[at], height = data[at + 1];
    std::uint64_t pixels = width * height;
    if (width == 0 || height == 0 || pixels > kMaxIconPixels || pixels > count - at - 2) break;
    if (pixels > bestPixels) {
      best = at;
      bestPixels = pixels;
      found = true;
    }
    at += 2 + static_cast<std::size_t>(pixels);
  }
  if (!found) return false;
  window.iconWidth = static_cast<int>(data[best]);
  window.iconHeight = static_cast<int>(data[best + 1]);
  window.iconArgb.assign(data + best + 2, data + best + 2 + bestPixels);
  return true;
}

std::vector<RunningWindow> listRunningApplications(const DesktopEntryIndex& index) {
  int screenNumber = 0;
  XcbConnection connection = connectDisplay(&screenNumber);
  if (!connection) return {};
  xcb_connection_t* c = connection.get();
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return {};
  const xcb_window_t root = screens.data->root;

  auto atoms = internAtoms(c);
  if (!atoms) return {};
  const bool withPids = hasClientPids(c);
  XcbReply<xcb_get_property_reply_t> list(xcb_get_property_reply(
      c, xcb_get_property(c, 0, root, atoms->netClientList, XCB_ATOM_WINDOW, 0, 1 << 16), nullptr));
  if (!list || list->format != 32) return {};
  const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
  const int windowCount = xcb_get_property_value_length(list.get()) / 4;

  // Every question for every window goes out before the first answer is read.
  std::vector<Request> requests;
  requests.reserve(static_cast<std::size_t>(windowCount));
  for (int i = 0; i < windowCount; ++i) {
    xcb_window_t w = windows[i];
    requests.push_back(Request{
        requestWindowFacts(c, *atoms, w, withPids),
        xcb_get_property(c, 0, w, atoms->netWmName, atoms->utf8String, 0, 1024),
        xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 1024),
        xcb_get_property(c, 0, w, atoms->netWmIcon, XCB_ATOM_CARDINAL, 0, kIconFetchUnits),
    });
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
    return applicationIdentity(infos[i].facts, index);
  };

  std::vector<RunningWindow> out;
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const Request& request = requests[i];
    XcbReply<xcb_get_property_reply_t> netName(
        xcb_get_property_reply(c, request.netWmName, nullptr));
    XcbReply<xcb_get_property_reply_t> name(xcb_get_property_reply(c, request.wmName, nullptr));
    XcbReply<xcb_get_property_reply_t> icon(xcb_get_property_reply(c, request.icon, nullptr));
    auto identity = identityOf(i);
    if (!identity) continue;
    RunningWindow window;
    window.identity = *identity;
    window.title = propertyText(netName.get()).value_or(propertyText(name.get()).value_or(""));
    if (icon && icon->format == 32) {
      largestIcon(static_cast<const std::uint32_t*>(xcb_get_property_value(icon.get())),
                  static_cast<std::size_t>(xcb_get_property_value_length(icon.get()) / 4), window);
    }
    auto [it, inserted] = seen.emplace(window.identity, out.size());
    if (inserted) {
      out.push_back(std::move(window));
    } else if (out[it->second].iconArgb.empty() && !window.iconArgb.empty()) {
      out[it->second].iconWidth = window.iconWidth;
      out[it->second].iconHeight = window.iconHeight;
      out[it->second].iconArgb = std::move(window.iconArgb);
    }
  }
  return out;
}

}  // namespace quillmoss::desktop
