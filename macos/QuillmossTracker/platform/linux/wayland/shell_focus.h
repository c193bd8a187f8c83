// The window in front as a desktop shell reports it over D-Bus: KWin through the script we load
// into it, GNOME Shell through the extension we ship.
#pragma once

#include <gio/gio.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "linux_desktop/dbus.h"
#include "linux_desktop/shell_scripts.h"

namespace quillmoss::tracker {

// What the shell knows of the focused window; all empty when none has the focus.
struct FocusReport {
  std::string appId;    // KWin's desktop file name, GNOME's application id
  std::string wmClass;  // the resource (WM) class
  std::optional<int> pid;

  bool none() const { return appId.empty() && wmClass.empty(); }
  bool operator==(const FocusReport&) const = default;
};

// Each one's exported object or subscription carries `this` and ends in its destructor.
class ShellFocus {
 public:
  using Handler = std::function<void(const FocusReport&)>;
  virtual ~ShellFocus() = default;
};

// Owns the tracker's bus name, loads and starts the script in KWin (unloaded again on destruction)
// and hands each of its reports, from KWin's connection only, to `handler`. nullptr when KWin is
// not on the bus or refuses the script. The bus outlives the result.
std::unique_ptr<ShellFocus> startKWinFocus(GDBusConnection* bus,
                                           const std::filesystem::path& script,
                                           ShellFocus::Handler handler);
// Reads the focus from our GNOME Shell extension into `current` and follows its changes.
// nullptr when the extension is not on the bus. The bus outlives the result.
std::unique_ptr<ShellFocus> startGnomeFocus(GDBusConnection* bus, FocusReport& current,
                                            ShellFocus::Handler handler);

}  // namespace quillmoss::tracker
