// The applications with windows in a Wayland session, as the host lists running ones: from a
// wlroots compositor's toplevels, or from the windows a desktop shell reports.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linux_desktop/client_window.h"
#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/running_window.h"
#include "linux_desktop/wayland_display.h"

namespace quillmoss::desktop {

// A window as a compositor or shell describes it; see waylandIdentity().
struct ShellWindow {
  std::string appId, wmClass;
  std::optional<int> pid;
  std::string title;
  // The index in the same list of the window this one is a dialog of, where that is reported.
  std::optional<std::size_t> parent = std::nullopt;
};

// The window a dialog belongs to, following dialogs of dialogs a few steps; i for others.
std::size_t ownerOf(const std::vector<ShellWindow>& windows, std::size_t i);

// The client windows of the session's X display (Xwayland); asked only when needed.
using XwaylandWindows = std::function<std::vector<ClientWindow>()>;

// True when an app_id alone names an installed application: an entry's ID, StartupWMClass or
// program. Others may be Xwayland windows, which the X display knows more about.
bool namesAnEntry(std::string_view appId, const DesktopEntryIndex& index);

// The X window that a window the compositor lists stands for: the compositor names an Xwayland
// window by its WM_CLASS (class, else instance, in any case), and a title shared too decides
// between several. nullptr when no X window fits.
const ClientWindow* xwaylandWindowOf(const ShellWindow& window,
                                     const std::vector<ClientWindow>& xWindows);

// One per application identity, in the given order, each with its first window's title. A
// dialog counts for the window it belongs to. A window whose app_id names no entry and that is
// an Xwayland window has the identity its X facts give (as in an X11 session) and its X window
// for the icon; the X display is asked only for such windows.
std::vector<RunningWindow> applicationsOf(const std::vector<ShellWindow>& windows,
                                          const DesktopEntryIndex& index,
                                          const XwaylandWindows& xwayland = {});

// A wlroots compositor's toplevels as shell windows (app_id and title, no pid).
std::vector<ShellWindow> shellWindowsOf(const std::vector<WaylandToplevel>& toplevels);

// The toplevels of the compositor named by $WAYLAND_DISPLAY in its order, with the dialogs'
// parents it reports. nullopt when there is no such compositor or it does not list them.
std::optional<std::vector<ShellWindow>> listWaylandToplevels();
// Its applications, as applicationsOf() finds them.
std::optional<std::vector<RunningWindow>> listWaylandApplications(
    const DesktopEntryIndex& index, const XwaylandWindows& xwayland = {});

}  // namespace quillmoss::desktop
