// Opening the X display; see x11_connection.h.
#include "linux_desktop/x11_connection.h"

#include <poll.h>
#include <xcb/res.h>
#include <xcb/xcbext.h>

#include <array>
#include <cmath>
#include <cstring>

#include "core/monotonic_clock.h"
#include "linux_desktop/candidates.h"
#include "linux_desktop/timed_open.h"

namespace quillmoss::desktop {
namespace {

// All atoms in one round trip; nullopt when the server does not answer.
std::optional<X11Atoms> internAtoms(xcb_connection_t* c) {
  X11Atoms atoms;
  const std::array<std::pair<const char*, xcb_atom_t*>, 7> names{{
      {"_NET_ACTIVE_WINDOW", &atoms.netActiveWindow},
      {"_NET_CLIENT_LIST", &atoms.netClientList},
      {"_NET_WM_PID", &atoms.netWmPid},
      {"_NET_WM_NAME", &atoms.netWmName},
      {"_NET_WM_ICON", &atoms.netWmIcon},
      {"_GTK_APPLICATION_ID", &atoms.gtkApplicationId},
      {"UTF8_STRING", &atoms.utf8String},
  }};
  std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
  for (std::size_t i = 0; i < names.size(); ++i) {
    cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i].first)),
                                 names[i].first);
  }
  bool complete = true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
    if (!reply) {
      complete = false;
      continue;
    }
    *names[i].second = reply->atom;
  }
  if (!complete) return std::nullopt;
  return atoms;
}

// True when the server offers X-Resource 1.2 (client pids).
bool hasClientPids(xcb_connection_t* c) {
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
  if (ext == nullptr || !ext->present) return false;
  XcbReply<xcb_res_query_version_reply_t> version(
      xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
  return version &&
         (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
}

Expected<OpenedDisplay> openDisplayNow() {
  int screenNumber = 0;
  XcbConnection c(xcb_connect(nullptr, &screenNumber));
  if (!c || xcb_connection_has_error(c.get())) {
    return cannotServe("no X display ($DISPLAY) can be reached");
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return cannotServe("the X display ($DISPLAY) has no such screen");
  auto atoms = internAtoms(c.get());
  if (!atoms) return cannotServe("the X display ($DISPLAY) does not answer");
  X11Connection x{c.get(), screens.data->root, *atoms, hasClientPids(c.get())};
  return OpenedDisplay{std::move(c), x};
}

}  // namespace

Expected<OpenedDisplay> openDisplay() {
  static TimedOpen<Expected<OpenedDisplay>> opening(openDisplayNow);
  if (auto opened = opening(kOpenSeconds)) return std::move(*opened);
  return cannotServe("the X display ($DISPLAY) did not answer within " +
                     std::to_string(static_cast<int>(kOpenSeconds)) + " s");
}

std::optional<XcbReply<void>> awaitReply(xcb_connection_t* c, unsigned int sequence,
                                         double seconds) {
  const double deadline = monotonicSeconds() + seconds;
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(c, sequence, &reply, &error) != 0) {
      std::free(error);
      return XcbReply<void>(reply);
    }
    const double left = deadline - monotonicSeconds();
    if (xcb_connection_has_error(c) || left <= 0.0) return std::nullopt;
    pollfd readable{xcb_get_file_descriptor(c), POLLIN, 0};
    ::poll(&readable, 1, static_cast<int>(std::ceil(left * 1000.0)));
  }
}

}  // namespace quillmoss::desktop
