// The windows of a Wayland session as its desktop shell reports them: KWin through a script
// the host loads into it, GNOME Shell through the extension the tracker relies on too.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/event_loop.h"
#include "linux_desktop/wayland_windows.h"

namespace quillmoss::host {

// A stuck shell holds the caller (the main thread) at most this long.
inline constexpr int kShellTimeoutMs = 500;
// More windows than this are not listed.
inline constexpr std::size_t kMaxShellWindows = 512;

class ShellWindows {
 public:
  virtual ~ShellWindows() = default;
  // The windows in the shell's order (KWin's list, GNOME's most recently used first); empty
  // until the shell first answers. nullopt once the shell is gone: connect again.
  virtual std::optional<std::vector<desktop::ShellWindow>> windows() = 0;
};

// The text KWin's script reports: one window a line, its desktop file name, resource class,
// pid, caption and the line (from 0) of the window a dialog belongs to, split by tabs. At most
// kMaxShellWindows windows; fields are cut short.
std::vector<desktop::ShellWindow> parseKWinWindows(std::string_view report);

}  // namespace quillmoss::host
