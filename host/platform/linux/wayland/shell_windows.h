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

// KWin (our script reports the list on every change, the host keeps the last one; unloaded
// when the result goes) or else GNOME Shell (our extension, asked on every call). nullptr
// when neither is on the session bus. The loop runs GDBus's work and outlives the result.
std::unique_ptr<ShellWindows> connectShellWindows(EventLoop& loop,
                                                  const std::filesystem::path& kwinScript);

// The text KWin's script reports: one window a line, its desktop file name, resource class,
// pid and caption split by tabs. At most kMaxShellWindows windows; fields are cut short.
std::vector<desktop::ShellWindow> parseKWinWindows(std::string_view report);

}  // namespace quillmoss::host
