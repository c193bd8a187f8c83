// What /proc tells about a process of this machine: the program it runs and, when that is an
// interpreter, the scripts it and the interpreters that started it run.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillmoss::desktop {

struct ProcessFacts {
  std::optional<std::string> executable;  // file name of /proc/PID/exe, nullopt when unknown
  // For an interpreter: the script it runs, then those of the interpreters above it (a shell
  // script that starts python without exec), nearest first. Empty for other programs.
  std::vector<std::string> scripts;
};

// Under procRoot ("/proc" but in tests); a process that is gone has no facts.
ProcessFacts readProcessFacts(const std::filesystem::path& procRoot, int pid);

// The words of a /proc/PID/cmdline text (NUL-separated).
std::vector<std::string> commandLineWords(std::string_view text);
// The parent's pid from a /proc/PID/stat text; nullopt when malformed.
std::optional<int> parentPidOf(std::string_view stat);

}  // namespace quillmoss::desktop
