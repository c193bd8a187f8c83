// Asking an X server about a client window: the facts that decide its application identity,
// sent as one batch of requests so that a caller waits for at most one round trip.
#pragma once

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "linux_desktop/identity.h"
#include "linux_desktop/x11_connection.h"

namespace quillmoss::desktop {

// The reply to a request, or null. An error comes back here and is freed, rather than queued
// as an event for whoever reads events next.
template <typename Reply, typename Cookie>
XcbReply<Reply> takeReply(xcb_connection_t* c, Cookie cookie,
                          Reply* (*get)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<Reply> reply(get(c, cookie, &error));
  std::free(error);
  return reply;
}

// Chooses the process id of a window's client. The server's own pid (X-Resource, taken from the
// socket's peer credentials) is trusted first: _NET_WM_PID is what the client claims, which is a
// pid of another namespace inside a Flatpak sandbox and of another machine for a remote client.
std::optional<int> choosePid(std::optional<std::uint32_t> netWmPid,
                             std::optional<std::string_view> clientMachine,
                             std::string_view localHost, std::optional<std::uint32_t> serverPid);

// A dialog counts for the application of the window it is transient for; a chain of dialogs is
// followed this far, so a loop of WM_TRANSIENT_FOR ends.
inline constexpr int kMaxTransientDepth = 8;

// The window `window` counts for next, at `depth` steps along a chain: its WM_TRANSIENT_FOR
// owner, unless it names none, the window itself or the root, or the chain is long enough.
std::optional<xcb_window_t> transientOwner(xcb_window_t window, xcb_window_t owner,
                                           xcb_window_t root, int depth);

// This machine's host name, as clients write it into WM_CLIENT_MACHINE.
const std::string& localHostName();

struct WindowFactsRequest {
  xcb_window_t window = XCB_WINDOW_NONE;
  xcb_get_property_cookie_t wmClass{};
  xcb_get_property_cookie_t gtkApplicationId{};
  xcb_get_property_cookie_t netWmPid{};
  xcb_get_property_cookie_t clientMachine{};
  xcb_get_property_cookie_t transientFor{};
  std::optional<xcb_res_query_client_ids_cookie_t> clientIds;
  // The last request of the batch: once its reply is in, all are.
  unsigned int lastSequence = 0;
};

struct WindowInfo {
  WindowFacts facts;
  xcb_window_t transientFor = XCB_WINDOW_NONE;
};

// Sends the batch (not flushed).
WindowFactsRequest requestWindowFacts(xcb_connection_t* c, const X11Atoms& atoms,
                                      xcb_window_t window, bool withClientPids);
// Collects the replies; blocks only until the last one is in.
WindowInfo collectWindowFacts(xcb_connection_t* c, const WindowFactsRequest& request);

// The value of a property as text (up to its first NUL), or nullopt when absent.
std::optional<std::string> propertyText(const xcb_get_property_reply_t* reply);
// The first 32-bit value of a property, or nullopt when absent.
std::optional<std::uint32_t> propertyCard32(const xcb_get_property_reply_t* reply);

}  // namespace quillmoss::desktop
