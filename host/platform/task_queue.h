// Where work runs: the main queue (the host's main thread) and the background queue.
#pragma once

#include <functional>

#include "core/event_loop.h"

namespace quillmoss::host {

class TaskQueue {
 public:
  using Task = std::function<void()>;
  virtual ~TaskQueue() = default;
  // Runs the task later, never inside this call.
  virtual void async(Task task) = 0;
};

// The main queue: tasks run in order on the event loop's thread.
class MainQueue final : public TaskQueue {
 public:
  explicit MainQueue(EventLoop& loop) : loop_(loop) {}
  void async(Task task) override { loop_.post(std::move(task)); }

 private:
  EventLoop& loop_;
};

}  // namespace quillmoss::host
