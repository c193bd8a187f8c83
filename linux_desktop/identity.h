// The application identity of a window on a Linux desktop: the counterpart of a bundle
// identifier, found by the rules the major desktops use.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "linux_desktop/desktop_entries.h"

namespace quillmoss::desktop {

struct WindowFacts {
  std::string wmInstance, wmClass, gtkApplicationId;
  std::optional<int> pid;  // a process of this machine, or nullopt

  bool operator==(const WindowFacts&) const = default;
};

// First rule that applies: when the process is an interpreter, the entry whose Exec runs its
// script or that of the interpreter that started it (see process_facts.h); the desktop entry
// whose StartupWMClass is the WM_CLASS instance, then the class; the entry whose ID is the
// instance, then the class (ignoring case); the Flatpak application ID of the process;
// _GTK_APPLICATION_ID; the entry whose Exec program is the process's executable (unless that is
// an interpreter), then the WM_CLASS instance; the WM_CLASS class, unless a toolkit gives it to
// any program (Tk's "Toplevel", Java's "java-lang-Thread", an interpreter's name); the
// interpreter's script; the instance, unless generic too; the file name of the process's
// executable. nullopt when none applies.
// An identity never holds a "#": usage keys keep it for a browser's domain.
std::optional<std::string> applicationIdentity(const WindowFacts& facts,
                                               const DesktopEntryIndex& index,
                                               const std::filesystem::path& procRoot = "/proc");

// The identity of a Wayland window: its app_id (or a shell's desktop file name or application
// id; a ".desktop" ending is dropped) takes the place of the WM_CLASS class, and the X11 class a
// shell also reports, if any, that of the instance. After the interpreter rule, the app_id is
// tried as an entry ID (ignoring case), then as the program an entry runs (GTK 3 gives the
// program's name), so one program has one key in every session; then the rules above.
std::optional<std::string> waylandIdentity(std::string_view appId, std::string_view wmClass,
                                           std::optional<int> pid, const DesktopEntryIndex& index,
                                           const std::filesystem::path& procRoot = "/proc");

// The "name" of the [Application] group of a .flatpak-info file's text; nullopt without one.
std::optional<std::string> flatpakAppId(std::string_view flatpakInfo);

}  // namespace quillmoss::desktop
