// The installation steps of "setup": the daemon copied out of the bundle when the bundle's
// copy is newer, and the launch agent written from the bundle's template.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/error.h"
#include "platform/bundle.h"

namespace quillmoss::host {

// The installation's own errors (codes 1 and 2); the platform's keep their domains.
inline constexpr char kUsageTrackerErrorDomain[] = "UsageTracker";

// Copies the bundle's daemon to daemonDest (mode 0755, the source's modification time)
// unless an installed copy is at least as new. Nothing is touched when the bundle has none.
Status installDaemon(Bundle* bundle, const std::filesystem::path& appSupportDir,
                     const std::filesystem::path& daemonDest);

// Writes agentFile from the bundle's template with the daemon's path filled in.
Status installLaunchAgent(Bundle* bundle, const std::filesystem::path& agentDir,
                          const std::filesystem::path& agentFile,
                          const std::filesystem::path& daemonDest);

// Every placeholder replaced by the path, with &, < and > escaped so that the property list
// stays well-formed; a path without them goes in byte for byte.
std::string fillAgentTemplate(std::string_view templateText, std::string_view daemonPath);

}  // namespace quillmoss::host
