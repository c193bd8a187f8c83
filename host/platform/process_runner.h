// Runs a helper program through /usr/bin/env and collects its standard output as text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillmoss::host {

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs "/usr/bin/env args..." and waits for it. The output as text, or nullopt when the
  // program could not be started, ran too long, or printed bytes that are not UTF-8.
  virtual std::optional<std::string> run(const std::vector<std::string>& args) = 0;
};

}  // namespace quillmoss::host
