// The user's home folder on a POSIX system, one rule for both programs.
#pragma once

#include <filesystem>
#include <optional>

namespace quillmoss::posix {

// $HOME when set and absolute, else the password database's entry (an absolute path);
// nullopt when neither names one.
std::optional<std::filesystem::path> homeFolder();

// The password database's entry alone, asked first with a buffer of that many bytes (0: the
// size the system suggests) and again with a larger one while the entry does not fit.
std::optional<std::filesystem::path> passwdHomeFolder(std::size_t firstBufferBytes = 0);

}  // namespace quillmoss::posix
