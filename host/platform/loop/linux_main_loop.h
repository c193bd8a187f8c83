// The host's main loop on Linux: poll(2) over an eventfd for posted tasks, one timerfd per
// repeating timer, and watched descriptors.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/main_loop.h"
#include "posix/unique_fd.h"

namespace quillmoss::host {

using posix::UniqueFd;

// Everything but async() and quit() belongs to the loop's thread (the one that made it or
// last ran it). Callbacks may schedule, cancel, watch and unwatch freely, themselves included.
class LinuxMainLoop final : public MainLoop {
 public:
  LinuxMainLoop();
  ~LinuxMainLoop() override;
  LinuxMainLoop(const LinuxMainLoop&) = delete;
  LinuxMainLoop& operator=(const LinuxMainLoop&) = delete;

  // Thread-safe; the task runs on the loop's thread in a later turn, in posting order.
  void async(Task task) override;
  // Returns 0 when the system refuses a timer. Missed periods are coalesced into one call.
  TimerId scheduleRepeating(double periodSeconds, Callback callback) override;
  void cancel(TimerId id) override;
  void watchReadable(int fd, Callback callback) override;
  void unwatch(int fd) override;
  // Level-triggered writability, independent of the readable watch on the same fd.
  void watchWritable(int fd, Callback callback);
  void unwatchWritable(int fd);
  int run() override;
  // Thread-safe. A quit before run() makes the next run() return at once.
  void quit(int status) override;

  bool onLoopThread() const { return std::this_thread::get_id() == loopThread_.load(); }

 private:
  struct Watch {
    std::shared_ptr<Callback> onReadable;
    std::shared_ptr<Callback> onWritable;
    std::uint64_t serial = 0;
  };
  struct Timer {
    UniqueFd fd;
    std::shared_ptr<Callback> callback;
  };

  void wake();
  void runPostedTasks();
  void setWatch(int fd, Callback callback, bool writable);

  UniqueFd wakeFd_;
  std::mutex mutex_;
  std::deque<Task> tasks_;
  std::atomic<bool> quitting_{false};
  std::atomic<int> status_{0};
  std::atomic<std::thread::id> loopThread_;
  std::map<TimerId, Timer> timers_;
  TimerId nextTimerId_ = 1;
  std::map<int, Watch> watches_;
  std::uint64_t nextSerial_ = 1;
};

}  // namespace quillmoss::host
