// The host's mechanisms for running windows in order; see session_running_windows.h. A new one
// is a file under x11/ or wayland/ and a row here.
#include "platform/linux/session_running_windows.h"

namespace quillmoss::host {

// A compositor's own list comes first; in a Wayland session the X display (Xwayland) has only
// its own clients' windows.
const std::array<WindowsCandidate, 4> kWindowMechanisms{{
    {"wlr-foreign-toplevel", wlrToplevelWindows},
    {"KWin script", kwinScriptWindows},
    {"GNOME Shell extension", gnomeExtensionWindows},
    {"X11", x11Windows},
}};

GDBusConnection* WindowsContext::sessionBus() {
  if (bus_ && g_dbus_connection_is_closed(bus_.get())) bus_.reset();
  if (!bus_) {
    if (auto bus = desktop::openBus(G_BUS_TYPE_SESSION)) bus_ = std::move(*bus);
  }
  return bus_.get();
}

XwaylandDisplay& WindowsContext::xwayland() {
  if (!xwayland_) xwayland_ = xwaylandDisplay(*this);
  return *xwayland_;
}

SessionRunningWindows::SessionRunningWindows(EventLoop& loop, InstalledApplications& installed,
                                             std::filesystem::path kwinScript,
                                             std::span<const WindowsCandidate> mechanisms)
    : context_(loop, installed, std::move(kwinScript)),
      mechanisms_(mechanisms),
      kept_(mechanisms.size()) {}

SessionRunningWindows::~SessionRunningWindows() {
  // The ports go before the context whose bus and loop they may use.
  kept_.clear();
}

std::optional<std::vector<desktop::RunningWindow>> SessionRunningWindows::list() {
  for (std::size_t row = 0; row < mechanisms_.size(); ++row) {
    std::unique_ptr<RunningWindows>& port = kept_[row];
    if (port) {
      if (auto windows = port->list()) {
        lister_ = port.get();
        return windows;
      }
      // Gone (its bus name and GLib context with it) before it is made again.
      if (lister_ == port.get()) lister_ = nullptr;
      port.reset();
    }
    auto made = mechanisms_[row].make(context_);
    if (!made) continue;
    if (auto windows = (*made)->list()) {
      port = std::move(*made);
      lister_ = port.get();
      return windows;
    }
  }
  lister_ = nullptr;
  return std::vector<desktop::RunningWindow>{};
}

std::shared_ptr<const Image> SessionRunningWindows::windowIcon(
    const desktop::RunningWindow& window, std::shared_ptr<const Image> otherwise) {
  return lister_ ? lister_->windowIcon(window, std::move(otherwise)) : nullptr;
}

}  // namespace quillmoss::host
