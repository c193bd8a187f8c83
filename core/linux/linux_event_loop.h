// The event loop on Linux: one thread polling a timerfd per timer, a signalfd for the
// termination signals, an eventfd for posted tasks, and watched descriptors.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/event_loop.h"
#include "posix/unique_fd.h"

namespace quillmoss {

class LinuxEventLoop final : public EventLoop {
 public:
  // Blocks SIGTERM and SIGINT on the calling thread and takes them through a signalfd.
  LinuxEventLoop();
  LinuxEventLoop(const LinuxEventLoop&) = delete;
  LinuxEventLoop& operator=(const LinuxEventLoop&) = delete;
  ~LinuxEventLoop() override;

  TimerId scheduleRepeating(double periodSeconds, Callback callback) override;
  TimerId scheduleOnce(double delaySeconds, Callback callback) override;
  void cancel(TimerId id) override;
  void watchReadable(int fd, Callback callback) override;
  void watchWritable(int fd, Callback callback) override;
  void unwatchReadable(int fd) override;
  void unwatchWritable(int fd) override;
  void post(Callback task) override;
  bool onLoopThread() const override { return std::this_thread::get_id() == loopThread_.load(); }
  void onTerminationSignal(std::function<void(int signal)> handler) override;
  int run() override;
  void quit(int status) override;

 private:
  struct Timer {
    posix::UniqueFd fd;
    std::shared_ptr<Callback> callback;
    double period = 0.0;  // 0 for a one-shot timer
    double due = 0.0;     // next expiry on the timer's clock, to order timers due together
  };
  struct Watch {
    std::shared_ptr<Callback> onReadable;
    std::shared_ptr<Callback> onWritable;
    std::uint64_t serial = 0;  // tells a watch from a later one on a reused descriptor
  };
  enum class SourceKind { Signal, Timer, Posted, Watch };
  struct Source {
    SourceKind kind;
    std::uint64_t key = 0;  // timer id or watch serial
    int fd = -1;
    short revents = 0;
    double due = 0.0;
  };

  TimerId addTimer(double delaySeconds, double periodSeconds, Callback callback);
  void setWatch(int fd, Callback callback, bool writable);
  void dropWatcher(int fd, bool writable);
  void dispatch(const Source& source);
  void dispatchTimer(TimerId id);
  void dispatchSignal();
  void dispatchWatch(const Source& source);
  void runPostedTasks();
  void wake();

  posix::UniqueFd signalFd_;
  posix::UniqueFd wakeFd_;
  std::function<void(int)> signalHandler_;
  std::map<TimerId, Timer> timers_;
  std::map<int, Watch> watches_;
  std::mutex mutex_;
  std::deque<Callback> posted_;
  std::atomic<bool> quitting_{false};
  std::atomic<int> status_{0};
  std::atomic<std::thread::id> loopThread_;
  std::vector<Source> sources_;
  TimerId nextTimer_ = 1;
  std::uint64_t nextSerial_ = 1;
};

}  // namespace quillmoss
