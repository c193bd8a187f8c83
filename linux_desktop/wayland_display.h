// A client connection to the Wayland compositor named by $WAYLAND_DISPLAY: the globals it
// offers and, where it speaks zwlr_foreign_toplevel_manager_v1 (wlroots compositors), its
// toplevel windows with their app_id, title and activated state.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linux_desktop/wayland_toplevels.h"

struct wl_display;
struct wl_interface;
struct wl_registry;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace quillmoss::desktop {

class WaylandDisplay {
 public:
  // nullptr when $WAYLAND_DISPLAY (or $WAYLAND_SOCKET) is unset or cannot be reached.
  static std::unique_ptr<WaylandDisplay> connect();
  ~WaylandDisplay();
  WaylandDisplay(const WaylandDisplay&) = delete;
  WaylandDisplay& operator=(const WaylandDisplay&) = delete;

  int fd() const;
  bool offers(std::string_view interfaceName) const;
  // Binds the first global of that interface at the lower of its version and maxVersion;
  // nullptr when the compositor offers none.
  void* bind(const wl_interface* interface, std::uint32_t maxVersion);

  // Binds the toplevel manager and reads the current windows (a round trip). False when the
  // compositor does not offer it. `changed` runs after each change the compositor completes.
  bool watchToplevels(std::function<void()> changed);
  // In the order the compositor announced them.
  std::vector<WaylandToplevel> toplevels() const { return toplevels_.toplevels(); }

  // Reads and handles what the compositor sent; call when fd() is readable. False once the
  // connection is broken.
  bool dispatch();
  // Waits for the compositor to handle every request so far and handles its answers; false
  // when it has not within kOpenSeconds (timed_open.h) or the connection broke.
  bool roundtrip();
  bool flush();

 private:
  struct Global {
    std::string interface;
    std::uint32_t name, version;
  };
  explicit WaylandDisplay(wl_display* display);

  wl_display* display_;
  wl_registry* registry_ = nullptr;
  std::vector<Global> globals_;
  zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
  std::vector<zwlr_foreign_toplevel_handle_v1*> handles_;
  ToplevelList toplevels_;
  friend struct ToplevelEvents;
};

}  // namespace quillmoss::desktop
