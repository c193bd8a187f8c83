// The one way both programs open the X server named by $DISPLAY, and what they ask of it first:
// the screen's root window, the atoms they use, whether the server tells client pids. With it,
// the one bounded wait for a reply.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "core/error.h"

namespace quillmoss::desktop {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

struct ConnectionCloser {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

struct X11Atoms {
  xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
  xcb_atom_t netClientList = XCB_ATOM_NONE;
  xcb_atom_t netWmPid = XCB_ATOM_NONE;
  xcb_atom_t netWmName = XCB_ATOM_NONE;
  xcb_atom_t netWmIcon = XCB_ATOM_NONE;
  xcb_atom_t gtkApplicationId = XCB_ATOM_NONE;
  xcb_atom_t utf8String = XCB_ATOM_NONE;
};

// A connection its owner keeps, with what identities, listings and icons need of it.
struct X11Connection {
  xcb_connection_t* c = nullptr;
  xcb_window_t root = XCB_WINDOW_NONE;
  X11Atoms atoms;
  bool withClientPids = false;  // X-Resource 1.2
};

struct OpenedDisplay {
  XcbConnection owned;
  X11Connection x;  // on `owned`
};

// Connects to $DISPLAY and asks the atoms (one round trip) and X-Resource's version, within
// kOpenSeconds (timed_open.h): a stopped server holds neither program. The error, for the
// "no desktop session" line, says what failed.
Expected<OpenedDisplay> openDisplay();

// Waits at most `seconds` for the reply (or error) to the request numbered `sequence`:
// the reply (null when the server answered with an error), or nullopt when none came in time
// or the connection broke. A reply still to come is the caller's to discard.
std::optional<XcbReply<void>> awaitReply(xcb_connection_t* c, unsigned int sequence,
                                         double seconds);

}  // namespace quillmoss::desktop
