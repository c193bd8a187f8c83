// Running applications from a compositor's or shell's window list; see wayland_windows.h.
#include "linux_desktop/wayland_windows.h"

#include <algorithm>
#include <unordered_map>

#include "linux_desktop/identity.h"
#include "linux_desktop/wayland_display.h"

namespace quillmoss::desktop {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::size_t ownerOf(const std::vector<ShellWindow>& windows, std::size_t i) {
  // Dialogs of dialogs are followed this far; a loop a compositor reports ends there.
  constexpr int kMaxParentDepth = 8;
  for (int depth = 0; depth < kMaxParentDepth; ++depth) {
    const std::optional<std::size_t> parent = windows[i].parent;
    if (!parent || *parent >= windows.size() || *parent == i) break;
    i = *parent;
  }
  return i;
}

std::vector<ShellWindow> shellWindowsOf(const std::vector<WaylandToplevel>& toplevels) {
  std::vector<ShellWindow> windows;
  windows.reserve(toplevels.size());
  for (const WaylandToplevel& toplevel : toplevels) {
    windows.push_back({toplevel.appId, {}, std::nullopt, toplevel.title, toplevel.parent});
  }
  return windows;
}

bool namesAnEntry(std::string_view appId, const DesktopEntryIndex& index) {
  constexpr std::string_view kSuffix = ".desktop";
  if (appId.ends_with(kSuffix)) appId.remove_suffix(kSuffix.size());
  return index.byIdIgnoringCase(appId) != nullptr || index.byStartupWmClass(appId) != nullptr ||
         index.byExecProgram(appId) != nullptr;
}

const ClientWindow* xwaylandWindowOf(const ShellWindow& window,
                                     const std::vector<ClientWindow>& xWindows) {
  const std::string_view name = window.wmClass.empty() ? window.appId : window.wmClass;
  if (name.empty()) return nullptr;
  const ClientWindow* found = nullptr;
  for (const ClientWindow& x : xWindows) {
    if (!equalIgnoringCase(x.wmClass, name) && !equalIgnoringCase(x.wmInstance, name)) continue;
    if (x.title == window.title) return &x;
    if (found == nullptr) found = &x;
  }
  return found;
}

std::vector<RunningWindow> applicationsOf(const std::vector<ShellWindow>& windows,
                                          const DesktopEntryIndex& index,
                                          const XwaylandWindows& xwayland) {
  std::optional<std::vector<ClientWindow>> xWindows;
  std::vector<RunningWindow> applications;
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const ShellWindow& owner = windows[ownerOf(windows, i)];
    std::optional<std::string> identity;
    const ClientWindow* x = nullptr;
    if (xwayland && !namesAnEntry(owner.appId, index) && !namesAnEntry(owner.wmClass, index)) {
      if (!xWindows) xWindows = xwayland();
      x = xwaylandWindowOf(owner, *xWindows);
    }
    identity =
        x != nullptr ? x->identity : waylandIdentity(owner.appId, owner.wmClass, owner.pid, index);
    auto [it, inserted] = seen.emplace(identity.value_or(""), applications.size());
    if (!inserted) {
      std::vector<std::uint32_t>& known = applications[it->second].windows;
      if (x != nullptr && std::find(known.begin(), known.end(), x->window) == known.end()) {
        known.push_back(x->window);
      }
      continue;
    }
    RunningWindow window;
    window.identity = identity.value_or("");
    window.title = windows[i].title;
    if (x != nullptr) window.windows.push_back(x->window);
    applications.push_back(std::move(window));
  }
  return applications;
}

std::optional<std::vector<ShellWindow>> listWaylandToplevels() {
  auto display = WaylandDisplay::connect();
  if (!display || !display->watchToplevels({})) return std::nullopt;
  return shellWindowsOf(display->toplevels());
}

std::optional<std::vector<RunningWindow>> listWaylandApplications(const DesktopEntryIndex& index,
                                                                  const XwaylandWindows& xwayland) {
  auto windows = listWaylandToplevels();
  if (!windows) return std::nullopt;
  return applicationsOf(*windows, index, xwayland);
}

}  // namespace quillmoss::desktop
