// The event loop both programs run on: timers, watched descriptors, tasks posted from any
// thread and the termination signals, all delivered on the loop's one thread.
//
// Why this shape: each program's logic runs on one thread, without locks (the tracker's state
// is plain variables; the host's bridges and engine answer on the main thread, as AppKit's do),
// so all it waits for must arrive as events of that thread: the X, Wayland and D-Bus
// connections as descriptors, the flush and tab samplers as timers, the host's workers' results
// as posted tasks, and SIGTERM/SIGINT as events rather than handlers that interrupt anything.
//
// One turn: the Linux backend waits in one poll() for every source, then dispatches what is
// ready in this order: termination signals, timers in the order they fell due, posted tasks
// (those queued when the turn began), readable/writable descriptors; timers run on the boot-time
// clock, which goes on while the machine sleeps. The macOS backend runs the main run loop:
// timers and descriptor sources as they fire, posted tasks from a queue of its own, taken one at
// a time from the main dispatch queue (which would run all it holds at once), so that quit()
// stops it between two tasks; what comes due after quit() waits for the next run().
// Every backend guarantees: each callback on the loop's thread, one at a time; a source
// cancelled or unwatched from a callback does not fire after it; periods and delays held to the
// bounds below (the test double, core/fake/, too).
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>

namespace quillmoss {

class EventLoop {
 public:
  using TimerId = std::uint64_t;
  using Callback = std::function<void()>;

  // A repeating period below a millisecond (zero and NaN included) would only spin the loop;
  // past the longest time (some 30 years; infinity included) a timer is as good as never, and
  // beyond it the system's time would overflow. A delay below zero (or NaN) is zero.
  static constexpr double kShortestPeriodSeconds = 0.001;
  static constexpr double kLongestTimerSeconds = 1e9;
  static double boundedPeriod(double seconds) {
    if (!(seconds >= kShortestPeriodSeconds)) return kShortestPeriodSeconds;
    return std::fmin(seconds, kLongestTimerSeconds);
  }
  static double boundedDelay(double seconds) {
    if (!(seconds > 0.0)) return 0.0;
    return std::fmin(seconds, kLongestTimerSeconds);
  }

  virtual ~EventLoop() = default;

  // Everything below belongs to the loop's thread except post(), quit() and onLoopThread().
  // Callbacks may schedule, cancel, watch and unwatch freely, themselves included.

  // Fires every period seconds, the first time one period from now. After a suspension it
  // fires once, not once per missed period. The period is boundedPeriod()'s.
  // Returns 0 when the system refuses a timer.
  virtual TimerId scheduleRepeating(double periodSeconds, Callback callback) = 0;
  // Fires once after delay seconds (boundedDelay()'s). Returns 0 when the system refuses a timer.
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
  // run() makes the next run() return at once. Once quit() is called no further callback
  // runs in that run(), not even one ready in the same turn: after a final save nothing else
  // touches the state. What was ready waits for the next run().
  virtual int run() = 0;
  virtual void quit(int status) = 0;
};

// The platform's loop for the calling thread. Blocks SIGTERM and SIGINT on it, so create it
// before any other thread starts.
std::unique_ptr<EventLoop> makeEventLoop();

}  // namespace quillmoss
