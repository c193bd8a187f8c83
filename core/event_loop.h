// The event loop both programs run on: timers, watched descriptors, tasks posted from any
// thread and the termination signals, all delivered on the loop's one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace quillmoss {

class EventLoop {
 public:
  using TimerId = std::uint64_t;
  using Callback = std::function<void()>;

  virtual ~EventLoop() = default;

  // Everything below belongs to the loop's thread except post(), quit() and onLoopThread().
  // Callbacks may schedule, cancel, watch and unwatch freely, themselves included.

  // Fires every period seconds, the first time one period from now. After a suspension it
  // fires once, not once per missed period. Periods are clamped to [1 ms, 30 years].
  // Returns 0 when the system refuses a timer.
  virtual TimerId scheduleRepeating(double periodSeconds, Callback callback) = 0;
  // Fires once after delay seconds. Returns 0 when the system refuses a timer.
  virtual TimerId scheduleOnce(double delaySeconds, Callback callback) = 0;
  // A timer that already fired (one-shot) or an unknown id is ignored.
  virtual void cancel(TimerId id) = 0;

  // Level-triggered; one readable and one writable watcher per descriptor.
  virtual void watchReadable(int fd, Callback callback) = 0;
  virtual void watchWritable(int fd, Callback callback) = 0;
  virtual void unwatchReadable(int fd) = 0;
  virtual void unwatchWritable(int fd) = 0;
  // Both watchers; call before closing the descriptor.
  void unwatch(int fd) {
    unwatchReadable(fd);
    unwatchWritable(fd);
  }

  // Thread-safe. The task runs on the loop's thread in a later turn, in posting order; tasks
  // still queued when the loop is destroyed are dropped without running.
  virtual void post(Callback task) = 0;
  virtual bool onLoopThread() const = 0;

  // SIGTERM and SIGINT arrive here as events of the loop, never inside another callback.
  // Without a handler they end the loop with status 128 + the signal's number.
  virtual void onTerminationSignal(std::function<void(int signal)> handler) = 0;

  // Runs until quit(); returns the status given to quit(). Thread-safe quit; a quit before
  // run() makes the next run() return at once.
  virtual int run() = 0;
  virtual void quit(int status) = 0;
};

// The platform's loop for the calling thread. Blocks SIGTERM and SIGINT on it, so create it
// before any other thread starts.
std::unique_ptr<EventLoop> makeEventLoop();

}  // namespace quillmoss
