// The run loop on Linux: one thread, poll() over a timerfd per timer, a signalfd for the
// termination signals, and watched descriptors.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <poll.h>

#include "platform/run_loop.h"
#include "posix/unique_fd.h"

namespace quillmoss::tracker {

using posix::UniqueFd;

class LinuxRunLoop final : public RunLoop {
 public:
  // Blocks SIGTERM and SIGINT on the calling thread (create the loop before any thread) and
  // takes them through a signalfd from then on.
  LinuxRunLoop();
  LinuxRunLoop(const LinuxRunLoop&) = delete;
  LinuxRunLoop& operator=(const LinuxRunLoop&) = delete;
  ~LinuxRunLoop() override;

  TimerId scheduleRepeating(double periodSeconds, Callback callback) override;
  TimerId scheduleOnce(double delaySeconds, Callback callback) override;
  void cancel(TimerId id) override;
  void watchReadable(int fd, Callback callback) override;
  void unwatch(int fd) override;
  void onTerminationSignal(std::function<void(int signal)> handler) override;
  int run() override;
  void quit(int status) override;

 private:
  struct Timer {
    UniqueFd fd;
    std::shared_ptr<Callback> callback;
    double period = 0.0;  // 0 for a one-shot timer
    double due = 0.0;     // next expiry on the timer's clock, to order timers due together
  };
  enum class SourceKind { Signal, Timer, Watch };
  struct Source {
    SourceKind kind;
    TimerId timer = 0;
    int fd = -1;
    double due = 0.0;
  };

  TimerId addTimer(double delaySeconds, double periodSeconds, Callback callback);
  void dispatch(const Source& source);
  void dispatchTimer(TimerId id);
  void dispatchSignal();

  UniqueFd signalFd_;
  std::function<void(int)> signalHandler_;
  std::map<TimerId, Timer> timers_;
  std::map<int, std::shared_ptr<Callback>> watches_;
  std::vector<pollfd> pollFds_;
  std::vector<Source> sources_;
  TimerId nextTimer_ = 1;
  bool quitting_ = false;
  int status_ = 0;
};

}  // namespace quillmoss::tracker
