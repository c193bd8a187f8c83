// The Linux process runner: /usr/bin/env with pipes, a time limit, and reaped children.
#pragma once

#include <chrono>
#include <cstddef>

#include "platform/process_runner.h"

namespace quillmoss::host {

class LinuxProcessRunner : public ProcessRunner {
 public:
  struct Limits {
    // A child still running after this long is killed and its output counts as none.
    std::chrono::milliseconds timeout{30000};
    // More output than this is treated like a hung child.
    std::size_t maxOutputBytes = 16u << 20;
  };

  LinuxProcessRunner() = default;
  explicit LinuxProcessRunner(Limits limits) : limits_(limits) {}

  std::optional<std::string> run(const std::vector<std::string>& args) override;

 private:
  Limits limits_;
};

}  // namespace quillmoss::host
