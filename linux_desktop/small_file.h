// Reads a small text file whole, with plain POSIX calls (no iostreams: they would pull in the
// locale machinery and a megabyte of resident library pages for a daemon that needs neither).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace quillmoss::desktop {

// The first maxBytes bytes at most; nullopt when the file cannot be opened or read.
std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t maxBytes);

}  // namespace quillmoss::desktop
