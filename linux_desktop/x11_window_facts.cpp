// Batched window-fact requests; see x11_window_facts.h.
#include "linux_desktop/x11_window_facts.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>

namespace quillmoss::desktop {
namespace {

// Property values beyond this many 32-bit units are cut; names and pids are far shorter.
constexpr std::uint32_t kTextLength = 256;

xcb_get_property_cookie_t getProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom,
                                      xcb_atom_t type) {
  return xcb_get_property(c, 0, window, atom, type, 0, kTextLength);
}

XcbReply<xcb_get_property_reply_t> propertyReply(xcb_connection_t* c,
                                                 xcb_get_property_cookie_t cookie) {
  return XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(c, cookie, nullptr));
}

}  // namespace

std::optional<xcb_window_t> transientOwner(xcb_window_t window, xcb_window_t owner,
                                           xcb_window_t root, int depth) {
  if (owner == XCB_WINDOW_NONE || owner == window || owner == root) return std::nullopt;
  if (depth >= kMaxTransientDepth) return std::nullopt;
  return owner;
}

std::optional<int> choosePid(std::optional<std::uint32_t> netWmPid,
                             std::optional<std::string_view> clientMachine,
                             std::string_view localHost, std::optional<std::uint32_t> serverPid) {
  auto valid = [](std::uint32_t pid) {
    return pid > 0 && pid <= static_cast<std::uint32_t>(INT_MAX);
  };
  if (serverPid && valid(*serverPid)) return static_cast<int>(*serverPid);
  if (!netWmPid || !valid(*netWmPid)) return std::nullopt;
  if (clientMachine && *clientMachine != localHost) return std::nullopt;
  return static_cast<int>(*netWmPid);
}

const std::string& localHostName() {
  static const std::string name = [] {
    std::array<char, 256> buffer{};
    if (gethostname(buffer.data(), buffer.size() - 1) != 0) return std::string();
    return std::string(buffer.data());
  }();
  return name;
}

std::optional<std::string> propertyText(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->type == XCB_ATOM_NONE || reply->format != 8) return std::nullopt;
  const char* data = static_cast<const char*>(
      xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(reply)));
  int length = xcb_get_property_value_length(reply);
  std::string text(data, static_cast<std::size_t>(length));
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

std::optional<std::uint32_t> propertyCard32(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 32 || reply->value_len < 1) return std::nullopt;
  std::uint32_t value = 0;
  std::memcpy(&value, xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(reply)),
              sizeof value);
  return value;
}

WindowFactsRequest requestWindowFacts(xcb_connection_t* c, const X11Atoms& atoms,
                                      xcb_window_t window, bool withClientPids) {
  WindowFactsRequest request;
  request.window = window;
  request.wmClass = getProperty(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
  request.gtkApplicationId = getProperty(c, window, atoms.gtkApplicationId, XCB_ATOM_ANY);
  request.netWmPid = getProperty(c, window, atoms.netWmPid, XCB_ATOM_CARDINAL);
  request.clientMachine = getProperty(c, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_ANY);
  request.transientFor = getProperty(c, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW);
  request.lastSequence = request.transientFor.sequence;
  if (withClientPids) {
    xcb_res_client_id_spec_t pidOfWindow{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    request.clientIds = xcb_res_query_client_ids(c, 1, &pidOfWindow);
    request.lastSequence = request.clientIds->sequence;
  }
  return request;
}

WindowInfo collectWindowFacts(xcb_connection_t* c, const WindowFactsRequest& request) {
  WindowInfo info;
  if (auto wmClass = propertyReply(c, request.wmClass);
      wmClass && wmClass->format == 8 && wmClass->type != XCB_ATOM_NONE) {
    // Two NUL-terminated strings: the instance, then the class.
    const char* data = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
    std::string_view value(data,
                           static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get())));
    auto nul = value.find('\0');
    info.facts.wmInstance = std::string(value.substr(0, nul));
    if (nul != std::string_view::npos) {
      std::string_view rest = value.substr(nul + 1);
      info.facts.wmClass = std::string(rest.substr(0, rest.find('\0')));
    }
  }
  auto gtkId = propertyReply(c, request.gtkApplicationId);
  info.facts.gtkApplicationId = propertyText(gtkId.get()).value_or("");
  auto netWmPid = propertyReply(c, request.netWmPid);
  auto machineReply = propertyReply(c, request.clientMachine);
  auto machine = propertyText(machineReply.get());
  auto transient = propertyReply(c, request.transientFor);
  info.transientFor = propertyCard32(transient.get()).value_or(XCB_WINDOW_NONE);

  std::optional<std::uint32_t> serverPid;
  if (request.clientIds) {
    XcbReply<xcb_res_query_client_ids_reply_t> ids(
        xcb_res_query_client_ids_reply(c, *request.clientIds, nullptr));
    if (ids) {
      for (auto it = xcb_res_query_client_ids_ids_iterator(ids.get()); it.rem > 0;
           xcb_res_client_id_value_next(&it)) {
        [[maybe_unused]] const auto& [clientId, valueBytes] = *it.data;
        if ((clientId.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
          serverPid = *xcb_res_client_id_value_value(it.data);
        }
      }
    }
  }
  std::optional<std::string_view> machineView;
  if (machine) machineView = *machine;
  info.facts.pid =
      choosePid(propertyCard32(netWmPid.get()), machineView, localHostName(), serverPid);
  return info;
}

}  // namespace quillmoss::desktop
