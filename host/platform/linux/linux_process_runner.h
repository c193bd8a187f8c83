// The Linux process runner: /usr/bin/env with pipes, a time limit, and reaped children.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>

#include "platform/process_runner.h"
#include "posix/unique_fd.h"

namespace quillmoss::host {

class LinuxProcessRunner : public ProcessRunner {
 public:
  struct Limits {
    // A child still running after this long is killed and its output counts as none.
    std::chrono::milliseconds timeout{30000};
    // More output than this is treated like a hung child.
    std::size_t maxOutputBytes = 16u << 20;
  };

  LinuxProcessRunner();
  explicit LinuxProcessRunner(Limits limits);

  // Thread-safe. On a background queue's worker the wait for the child does not take the
  // worker from other tasks (see BackgroundQueue::BlockingWait).
  std::optional<std::string> run(const std::vector<std::string>& args) override;

  // For shutdown: every child now running is killed (its run gives nullopt) and later runs
  // give nullopt without starting anything. Thread-safe.
  void endAll();

 private:
  Limits limits_;
  posix::UniqueFd ended_;  // An eventfd, readable once endAll() was called.
  std::atomic<bool> endedFlag_{false};
};

}  // namespace quillmoss::host
