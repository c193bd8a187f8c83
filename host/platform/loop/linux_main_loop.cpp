// Main loop on poll(2): wake-ups through an eventfd, timers through timerfds.
#include "platform/loop/linux_main_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace quillmoss::host {

namespace {
constexpr double kMinimumPeriodSeconds = 0.001;
constexpr double kMaximumPeriodSeconds = 1e9;  // About 30 years; keeps time_t in range.
}  // namespace

LinuxMainLoop::LinuxMainLoop()
    : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), loopThread_(std::this_thread::get_id()) {
  // Without its wake-up descriptor the loop could never run a posted task.
  if (!wakeFd_) std::abort();
}

LinuxMainLoop::~LinuxMainLoop() {
  // Dropped tasks may post others while they are destroyed; drain until nothing is left.
  for (;;) {
    std::deque<Task> dropped;
    {
      std::lock_guard lock(mutex_);
      dropped.swap(tasks_);
    }
    if (dropped.empty()) break;
  }
  timers_.clear();
  watches_.clear();
}

void LinuxMainLoop::wake() {
  const std::uint64_t one = 1;
  // EAGAIN means the counter is already non-zero, which wakes the loop just as well.
  [[maybe_unused]] auto written = ::write(wakeFd_.get(), &one, sizeof one);
}

void LinuxMainLoop::async(Task task) {
  if (!task) return;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake();
}

MainLoop::TimerId LinuxMainLoop::scheduleRepeating(double periodSeconds, Callback callback) {
  UniqueFd fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd || !callback) return 0;
  if (!(periodSeconds >= kMinimumPeriodSeconds)) periodSeconds = kMinimumPeriodSeconds;
  if (periodSeconds > kMaximumPeriodSeconds) periodSeconds = kMaximumPeriodSeconds;
  double whole = 0;
  const double fraction = std::modf(periodSeconds, &whole);
  itimerspec timing{};
  timing.it_interval.tv_sec = static_cast<time_t>(whole);
  timing.it_interval.tv_nsec = static_cast<long>(fraction * 1e9);
  timing.it_value = timing.it_interval;
  if (::timerfd_settime(fd.get(), 0, &timing, nullptr) != 0) return 0;
  const TimerId id = nextTimerId_++;
  timers_.emplace(id, Timer{std::move(fd), std::make_shared<Callback>(std::move(callback))});
  return id;
}

void LinuxMainLoop::cancel(TimerId id) {
  timers_.erase(id);
}

void LinuxMainLoop::setWatch(int fd, Callback callback, bool writable) {
  if (fd < 0) return;
  if (!callback) {
    writable ? unwatchWritable(fd) : unwatch(fd);
    return;
  }
  Watch& watch = watches_[fd];
  if (!watch.onReadable && !watch.onWritable) watch.serial = nextSerial_++;
  (writable ? watch.onWritable : watch.onReadable) =
      std::make_shared<Callback>(std::move(callback));
}

void LinuxMainLoop::watchReadable(int fd, Callback callback) {
  setWatch(fd, std::move(callback), false);
}

void LinuxMainLoop::watchWritable(int fd, Callback callback) {
  setWatch(fd, std::move(callback), true);
}

void LinuxMainLoop::unwatch(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  it->second.onReadable.reset();
  if (!it->second.onWritable) watches_.erase(it);
}

void LinuxMainLoop::unwatchWritable(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  it->second.onWritable.reset();
  if (!it->second.onReadable) watches_.erase(it);
}

void LinuxMainLoop::quit(int status) {
  status_ = status;
  quitting_ = true;
  wake();
}

void LinuxMainLoop::runPostedTasks() {
  std::deque<Task> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(tasks_);
  }
  while (!batch.empty()) {
    if (quitting_) {
      // Keep the rest, in order, for a later run().
      std::lock_guard lock(mutex_);
      tasks_.insert(tasks_.begin(), std::make_move_iterator(batch.begin()),
                    std::make_move_iterator(batch.end()));
      wake();
      return;
    }
    Task task = std::move(batch.front());
    batch.pop_front();
    task();
  }
}

int LinuxMainLoop::run() {
  loopThread_ = std::this_thread::get_id();
  enum class Kind { kWake, kTimer, kWatch };
  struct Entry {
    Kind kind;
    std::uint64_t key;  // Timer id, or the watch's serial.
  };
  std::vector<pollfd> fds;
  std::vector<Entry> entries;
  while (!quitting_) {
    fds.clear();
    entries.clear();
    fds.push_back({wakeFd_.get(), POLLIN, 0});
    entries.push_back({Kind::kWake, 0});
    for (const auto& [id, timer] : timers_) {
      fds.push_back({timer.fd.get(), POLLIN, 0});
      entries.push_back({Kind::kTimer, id});
    }
    for (const auto& [fd, watch] : watches_) {
      short events = 0;
      if (watch.onReadable) events |= POLLIN;
      if (watch.onWritable) events |= POLLOUT;
      fds.push_back({fd, events, 0});
      entries.push_back({Kind::kWatch, watch.serial});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      std::abort();  // Only a broken descriptor table gets here.
    }
    for (std::size_t i = 0; i < fds.size() && !quitting_; ++i) {
      const short revents = fds[i].revents;
      if (revents == 0) continue;
      switch (entries[i].kind) {
        case Kind::kWake: {
          std::uint64_t count = 0;
          [[maybe_unused]] auto got = ::read(wakeFd_.get(), &count, sizeof count);
          runPostedTasks();
          break;
        }
        case Kind::kTimer: {
          auto it = timers_.find(entries[i].key);
          if (it == timers_.end()) break;
          std::uint64_t expirations = 0;
          if (::read(it->second.fd.get(), &expirations, sizeof expirations) <= 0) break;
          auto callback = it->second.callback;  // Survives a cancel inside the call.
          (*callback)();
          break;
        }
        case Kind::kWatch: {
          const int fd = fds[i].fd;
          auto it = watches_.find(fd);
          if (it == watches_.end() || it->second.serial != entries[i].key) break;
          if (revents & POLLNVAL) {
            // Closed while watched: drop it rather than spin on it.
            watches_.erase(it);
            break;
          }
          if ((revents & (POLLIN | POLLHUP | POLLERR)) && it->second.onReadable) {
            auto callback = it->second.onReadable;
            (*callback)();
          }
          it = watches_.find(fd);
          if (it == watches_.end() || it->second.serial != entries[i].key) break;
          if ((revents & (POLLOUT | POLLHUP | POLLERR)) && it->second.onWritable) {
            auto callback = it->second.onWritable;
            (*callback)();
          }
          break;
        }
      }
    }
  }
  quitting_ = false;
  return status_;
}

}  // namespace quillmoss::host
