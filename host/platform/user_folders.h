// The current user's home folder, as the platform names it.
#pragma once

#include <filesystem>
#include <optional>

namespace quillmoss::host {

// $HOME when set and absolute, else the password database's entry; nullopt when neither.
std::optional<std::filesystem::path> userHomeFolder();

}  // namespace quillmoss::host
