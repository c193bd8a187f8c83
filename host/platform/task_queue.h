// Where work runs: the main queue (the host's main thread) and the background queue.
#pragma once

#include <functional>

namespace quillmoss::host {

class TaskQueue {
 public:
  using Task = std::function<void()>;
  virtual ~TaskQueue() = default;
  // Runs the task later, never inside this call.
  virtual void async(Task task) = 0;
};

}  // namespace quillmoss::host
