// The user's Application Support folder on macOS, the base of both programs' data folders.
#pragma once

#include <filesystem>
#include <optional>

namespace quillmoss::daily {

// The first Application Support folder of the user's domain; nullopt when the system names none.
std::optional<std::filesystem::path> applicationSupportFolder();

// applicationSupportFolder() + "com.velbrook.quillmoss/usage": the tracker's kDataDir and the
// host's dataDir.
std::optional<std::filesystem::path> applicationSupportDataDirectory();

}  // namespace quillmoss::daily
