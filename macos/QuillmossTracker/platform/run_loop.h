// The daemon's one-threaded event loop: repeating and one-shot timers, readable
// descriptors, and termination signals turned into ordinary events.
#pragma once

#include <cstdint>
#include <functional>

namespace quillmoss::tracker {

class RunLoop {
 public:
  using TimerId = std::uint64_t;
  using Callback = std::function<void()>;

  virtual ~RunLoop() = default;
  // Fires every period seconds, the first time one period from now. After a suspension
  // it fires once, not once per missed period.
  virtual TimerId scheduleRepeating(double periodSeconds, Callback callback) = 0;
  // Fires once after delay seconds.
  virtual TimerId scheduleOnce(double delaySeconds, Callback callback) = 0;
  // A timer that already fired (one-shot) or an unknown id is ignored.
  virtual void cancel(TimerId id) = 0;
  // Calls back whenever fd is readable (level-triggered). One watcher per fd.
  virtual void watchReadable(int fd, Callback callback) = 0;
  virtual void unwatch(int fd) = 0;
  // SIGTERM and SIGINT arrive here as events of the loop, never inside another callback.
  virtual void onTerminationSignal(std::function<void(int signal)> handler) = 0;
  // Runs until quit(); returns the exit status given to quit().
  virtual int run() = 0;
  virtual void quit(int status) = 0;
};

}  // namespace quillmoss::tracker
