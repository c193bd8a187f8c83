// Runs "setup" jobs one at a time, in the order their calls arrived, without ever making a
// worker thread wait for a job that has not reached it yet.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace quillmoss::host {

class SetupSerializer {
 public:
  // Taken on arrival, in arrival order.
  std::uint64_t takeTicket();
  // Runs the job on this thread when its turn has come, together with any later jobs that
  // are already waiting; otherwise leaves it for the thread that runs the earlier ones.
  void submit(std::uint64_t ticket, std::function<void()> job);

 private:
  std::mutex mutex_;
  std::uint64_t nextTicket_ = 0;
  std::uint64_t nextToRun_ = 0;
  bool running_ = false;
  std::map<std::uint64_t, std::function<void()>> waiting_;
};

}  // namespace quillmoss::host
