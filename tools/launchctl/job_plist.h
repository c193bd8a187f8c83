// The parts of a launchd property list that the stand-in honours, read with libxml2.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillmoss::launchd {

struct JobDescription {
  std::string label;
  std::string program;                 // Program, else ProgramArguments[0]
  std::vector<std::string> arguments;  // ProgramArguments, else {Program}
  bool runAtLoad = false;
  bool disabled = false;
  std::string sessionType;  // LimitLoadToSessionType when it is a string
};

// nullopt with a reason when the file is missing, not a property list, or names no label
// or no program.
std::optional<JobDescription> readJobPlist(const std::string& path, std::string& reason);

}  // namespace quillmoss::launchd
