// The host's main run loop: posted tasks, timers in its default mode, and readable descriptors.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/task_queue.h"

namespace quillmoss::host {

class MainLoop : public TaskQueue {
 public:
  using TimerId = std::uint64_t;
  using Callback = std::function<void()>;

  // Fires every period seconds, the first time one period from now, until cancelled.
  virtual TimerId scheduleRepeating(double periodSeconds, Callback callback) = 0;
  virtual void cancel(TimerId id) = 0;
  // Level-triggered readability; one watcher per fd.
  virtual void watchReadable(int fd, Callback callback) = 0;
  virtual void unwatch(int fd) = 0;
  // Runs until quit(); returns the status given to quit().
  virtual int run() = 0;
  virtual void quit(int status) = 0;
};

}  // namespace quillmoss::host
