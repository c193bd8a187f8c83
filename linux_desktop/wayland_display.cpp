// The Wayland connection and its toplevel list; see wayland_display.h.
#include "linux_desktop/wayland_display.h"

#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "linux_desktop/timed_open.h"
#include "wayland_protocols/wlr_foreign_toplevel.h"

namespace quillmoss::desktop {

namespace {
void syncDone(void* data, wl_callback*, std::uint32_t) {
  *static_cast<bool*>(data) = true;
}

// A compositor that sends more than this is not trusted with our memory.
constexpr std::size_t kMaxGlobals = 4096;
constexpr std::size_t kMaxNameBytes = 4096;

std::string_view text(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}
}  // namespace

// The protocol's callbacks; the display outlives its proxies' events.
struct ToplevelEvents {
  static ToplevelList& list(void* data) { return static_cast<WaylandDisplay*>(data)->toplevels_; }

  static void title(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title) {
    list(data).setTitle(handle, text(title));
  }
  static void appId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId) {
    list(data).setAppId(handle, text(appId));
  }
  static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
  static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
    bool activated = false;
    const auto* values = static_cast<const std::uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
      if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) activated = true;
    }
    list(data).setActivated(handle, activated);
  }
  static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle) { list(data).done(handle); }
  static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* owner = static_cast<WaylandDisplay*>(data);
    std::erase(owner->handles_, handle);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
    owner->toplevels_.closed(handle);
  }
  static void parent(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                     zwlr_foreign_toplevel_handle_v1* parent) {
    list(data).setParent(handle, parent);
  }

  static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandle = {
      .title = title,
      .app_id = appId,
      .output_enter = output,
      .output_leave = output,
      .state = state,
      .done = done,
      .closed = closed,
      .parent = parent,
  };

  static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                       zwlr_foreign_toplevel_handle_v1* handle) {
    auto* owner = static_cast<WaylandDisplay*>(data);
    if (!owner->toplevels_.add(handle)) {
      zwlr_foreign_toplevel_handle_v1_destroy(handle);
      return;
    }
    owner->handles_.push_back(handle);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandle, owner);
  }
  static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
    auto* owner = static_cast<WaylandDisplay*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
    owner->manager_ = nullptr;
  }
  static constexpr zwlr_foreign_toplevel_manager_v1_listener kManager = {
      .toplevel = toplevel,
      .finished = finished,
  };

  static void global(void* data, wl_registry*, std::uint32_t name, const char* interface,
                     std::uint32_t version) {
    auto* owner = static_cast<WaylandDisplay*>(data);
    if (owner->globals_.size() < kMaxGlobals) {
      owner->globals_.push_back(
          {std::string(text(interface).substr(0, kMaxNameBytes)), name, version});
    }
  }
  static void globalRemove(void* data, wl_registry*, std::uint32_t name) {
    std::erase_if(static_cast<WaylandDisplay*>(data)->globals_,
                  [name](const auto& g) { return g.name == name; });
  }
  static constexpr wl_registry_listener kRegistry = {.global = global,
                                                     .global_remove = globalRemove};
};

std::unique_ptr<WaylandDisplay> WaylandDisplay::connect() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  const char* socket = std::getenv("WAYLAND_SOCKET");
  // libwayland would otherwise try "wayland-0" on its own.
  if ((name == nullptr || *name == '\0') && (socket == nullptr || *socket == '\0')) return nullptr;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return nullptr;
  std::unique_ptr<WaylandDisplay> self(new WaylandDisplay(display));
  self->registry_ = wl_display_get_registry(display);
  wl_registry_add_listener(self->registry_, &ToplevelEvents::kRegistry, self.get());
  if (!self->roundtrip()) return nullptr;
  return self;
}

WaylandDisplay::WaylandDisplay(wl_display* display) : display_(display) {}

WaylandDisplay::~WaylandDisplay() {
  for (auto* handle : handles_) zwlr_foreign_toplevel_handle_v1_destroy(handle);
  if (manager_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

int WaylandDisplay::fd() const {
  return wl_display_get_fd(display_);
}

bool WaylandDisplay::offers(std::string_view interfaceName) const {
  return std::any_of(globals_.begin(), globals_.end(),
                     [&](const Global& g) { return g.interface == interfaceName; });
}

void* WaylandDisplay::bind(const wl_interface* interface, std::uint32_t maxVersion) {
  for (const Global& g : globals_) {
    if (g.interface != interface->name) continue;
    const std::uint32_t version =
        std::min({g.version, maxVersion, static_cast<std::uint32_t>(interface->version)});
    return wl_registry_bind(registry_, g.name, interface, version);
  }
  return nullptr;
}

bool WaylandDisplay::watchToplevels(std::function<void()> changed) {
  manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
      bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
  if (manager_ == nullptr) return false;
  zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &ToplevelEvents::kManager, this);
  // The first round trip announces the windows, the second brings each one's state.
  if (!roundtrip() || !roundtrip()) return false;
  toplevels_.onChanged(std::move(changed));
  return true;
}

bool WaylandDisplay::dispatch() {
  // Only called when the descriptor is readable, so this read does not block.
  if (wl_display_dispatch(display_) < 0) return false;
  return flush();
}

bool WaylandDisplay::roundtrip() {
  // wl_display_roundtrip() waits as long as the compositor takes: a stopped one, for ever.
  bool done = false;
  wl_callback* sync = wl_display_sync(display_);
  static constexpr wl_callback_listener kDone = {.done = syncDone};
  wl_callback_add_listener(sync, &kDone, &done);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration<double>(kOpenSeconds);
  bool ok = true;
  while (ok && !done) {
    if (wl_display_dispatch_pending(display_) < 0) ok = false;
    if (!ok || done || wl_display_prepare_read(display_) != 0) continue;
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    pollfd readable{fd(), POLLIN, 0};
    if (!flush() || left <= 0.0 ||
        ::poll(&readable, 1, static_cast<int>(std::ceil(left * 1000.0))) == 0) {
      wl_display_cancel_read(display_);
      ok = left > 0.0 && flush();  // timed out or broken, else read again
      continue;
    }
    ok = wl_display_read_events(display_) >= 0;
  }
  wl_callback_destroy(sync);
  return ok && done;
}

bool WaylandDisplay::flush() {
  // A full socket (EAGAIN) is retried with the next request; only a broken one is fatal.
  return wl_display_flush(display_) >= 0 || errno == EAGAIN;
}

}  // namespace quillmoss::desktop
