// Starting a loaded job again at the next login, through the session's own mechanism: an XDG
// autostart entry, and where a systemd user manager runs, a user unit of the graphical session.
// Both run "launchctl load -w PLIST" again, so the job table stays the one truth.
#pragma once

#include <filesystem>
#include <string>

#include "core/error.h"

namespace quillmoss::launchd {

struct LoginStart {
  std::string label;
  std::string program;    // what the job runs; its file name names the entry
  std::string launchctl;  // this program, as the login will run it
  std::string plist;
};

// "$XDG_CONFIG_HOME/autostart/<label>.desktop".
std::filesystem::path autostartEntryPath(const std::string& label);
// "$XDG_CONFIG_HOME/systemd/user/<label>.service"; empty when the label is no unit name.
std::filesystem::path userUnitPath(const std::string& label);

// The entry's text. A desktop whose systemd already starts the unit skips the entry.
std::string autostartEntryText(const LoginStart& job, bool unitToo);
std::string userUnitText(const LoginStart& job);

// Writes what is missing or stale, atomically and never through a link planted at a path.
Status registerLoginStart(const LoginStart& job);
// Removes the entry, the unit and its link; what is not there is no error.
Status unregisterLoginStart(const std::string& label);

}  // namespace quillmoss::launchd
