// Starting a job's program detached from the caller, and finding and stopping it again
// by pid and start time, so a reused pid is never mistaken for the job.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quillmoss::launchd {

// The kernel's start time of a live process (not a zombie); nullopt when there is none.
std::optional<unsigned long long> processStartTime(pid_t pid);
bool processAlive(pid_t pid, unsigned long long startTime);

struct Launched {
  pid_t pid = 0;
  unsigned long long startTime = 0;
  int execError = 0;  // errno of a failed exec; pid is 0 then
};

// Runs the program in a session of its own, its standard streams on /dev/null and no other
// descriptor inherited; the caller does not become its parent.
Launched launchDetached(const std::string& program, const std::vector<std::string>& arguments);

// SIGTERM, then waits up to `grace` for the end, then SIGKILL. True when it is gone.
bool terminateProcess(pid_t pid, unsigned long long startTime, std::chrono::milliseconds grace);

}  // namespace quillmoss::launchd
