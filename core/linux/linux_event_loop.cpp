#include "core/linux/linux_event_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "core/linux/termination_signals.h"

namespace quillmoss {
namespace {

timespec toTimespec(double seconds) {
  if (!(seconds > 0.0)) return {0, 0};
  const double whole = std::floor(seconds);
  if (whole >= 1e12) return {static_cast<time_t>(1e12), 0};
  auto nanos = static_cast<long>((seconds - whole) * 1e9);
  if (nanos > 999'999'999) nanos = 999'999'999;
  return {static_cast<time_t>(whole), nanos};
}

// The boot-time clock runs on while the machine is suspended, so a timer that missed
// periods during a suspension is due at wake-up (and fires once there, see dispatchTimer).
clockid_t timerClock() {
  static const clockid_t clock = [] {
    timespec probe{};
    return clock_gettime(CLOCK_BOOTTIME, &probe) == 0 ? CLOCK_BOOTTIME : CLOCK_MONOTONIC;
  }();
  return clock;
}

double timerClockNow() {
  timespec now{};
  clock_gettime(timerClock(), &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

std::unique_ptr<EventLoop> makeEventLoop() {
  return std::make_unique<LinuxEventLoop>();
}

LinuxEventLoop::LinuxEventLoop()
    : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), loopThread_(std::this_thread::get_id()) {
  // Without its wake-up descriptor the loop could never run a posted task.
  if (!wakeFd_) std::abort();
  blockTerminationSignals();
  const sigset_t set = terminationSignals();
  signalFd_.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  // Without a signalfd the signals must keep ending the process.
  if (!signalFd_) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

LinuxEventLoop::~LinuxEventLoop() {
  // Dropped tasks may post others while they are destroyed; drain until nothing is left.
  for (;;) {
    std::deque<Callback> dropped;
    {
      std::lock_guard lock(mutex_);
      dropped.swap(posted_);
    }
    if (dropped.empty()) break;
  }
  timers_.clear();
  watches_.clear();
}

EventLoop::TimerId LinuxEventLoop::addTimer(double delaySeconds, double periodSeconds,
                                            Callback callback) {
  if (!callback) return 0;
  posix::UniqueFd fd(::timerfd_create(timerClock(), TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd) return 0;
  itimerspec setting{};
  setting.it_value = toTimespec(delaySeconds);
  // A zero first expiry would disarm the timer; "now" is the next nanosecond.
  if (setting.it_value.tv_sec == 0 && setting.it_value.tv_nsec == 0) setting.it_value.tv_nsec = 1;
  setting.it_interval = toTimespec(periodSeconds);
  if (::timerfd_settime(fd.get(), 0, &setting, nullptr) != 0) return 0;
  const TimerId id = nextTimer_++;
  timers_.emplace(id, Timer{std::move(fd), std::make_shared<Callback>(std::move(callback)),
                            periodSeconds, timerClockNow() + delaySeconds});
  return id;
}

EventLoop::TimerId LinuxEventLoop::scheduleRepeating(double periodSeconds, Callback callback) {
  periodSeconds = boundedPeriod(periodSeconds);
  return addTimer(periodSeconds, periodSeconds, std::move(callback));
}

EventLoop::TimerId LinuxEventLoop::scheduleOnce(double delaySeconds, Callback callback) {
  return addTimer(boundedDelay(delaySeconds), 0.0, std::move(callback));
}

void LinuxEventLoop::cancel(TimerId id) {
  timers_.erase(id);
}

void LinuxEventLoop::setWatch(int fd, Callback callback, bool writable) {
  if (fd < 0) return;
  if (!callback) {
    dropWatcher(fd, writable);
    return;
  }
  Watch& watch = watches_[fd];
  if (!watch.onReadable && !watch.onWritable) watch.serial = nextSerial_++;
  (writable ? watch.onWritable : watch.onReadable) =
      std::make_shared<Callback>(std::move(callback));
}

void LinuxEventLoop::dropWatcher(int fd, bool writable) {
  const auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  (writable ? it->second.onWritable : it->second.onReadable).reset();
  if (!it->second.onReadable && !it->second.onWritable) watches_.erase(it);
}

void LinuxEventLoop::watchReadable(int fd, Callback callback) {
  setWatch(fd, std::move(callback), false);
}

void LinuxEventLoop::watchWritable(int fd, Callback callback) {
  setWatch(fd, std::move(callback), true);
}

void LinuxEventLoop::unwatchReadable(int fd) {
  dropWatcher(fd, false);
}

void LinuxEventLoop::unwatchWritable(int fd) {
  dropWatcher(fd, true);
}

void LinuxEventLoop::wake() {
  const std::uint64_t one = 1;
  // EAGAIN means the counter is already non-zero, which wakes the loop just as well.
  [[maybe_unused]] auto written = ::write(wakeFd_.get(), &one, sizeof one);
}

void LinuxEventLoop::post(Callback task) {
  if (!task) return;
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }
  wake();
}

void LinuxEventLoop::onTerminationSignal(std::function<void(int signal)> handler) {
  signalHandler_ = std::move(handler);
}

void LinuxEventLoop::quit(int status) {
  if (quitting_.exchange(true)) return;
  status_ = status;
  wake();
}

void LinuxEventLoop::runPostedTasks() {
  std::deque<Callback> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(posted_);
  }
  while (!batch.empty()) {
    if (quitting_) {
      // Keep the rest, in order, for a later run().
      std::lock_guard lock(mutex_);
      posted_.insert(posted_.begin(), std::make_move_iterator(batch.begin()),
                     std::make_move_iterator(batch.end()));
      return;
    }
    Callback task = std::move(batch.front());
    batch.pop_front();
    task();
  }
}

int LinuxEventLoop::run() {
  loopThread_ = std::this_thread::get_id();
  std::vector<pollfd> fds;
  while (!quitting_) {
    fds.clear();
    sources_.clear();
    if (signalFd_) {
      fds.push_back({signalFd_.get(), POLLIN, 0});
      sources_.push_back({SourceKind::Signal});
    }
    fds.push_back({wakeFd_.get(), POLLIN, 0});
    sources_.push_back({SourceKind::Posted});
    for (const auto& [id, timer] : timers_) {
      fds.push_back({timer.fd.get(), POLLIN, 0});
      sources_.push_back({SourceKind::Timer, id, -1, 0, timer.due});
    }
    for (const auto& [fd, watch] : watches_) {
      short events = 0;
      if (watch.onReadable) events |= POLLIN;
      if (watch.onWritable) events |= POLLOUT;
      fds.push_back({fd, events, 0});
      sources_.push_back({SourceKind::Watch, watch.serial, fd});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      std::abort();  // Only a broken descriptor table gets here.
    }
    std::vector<Source> ready;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      ready.push_back(sources_[i]);
      ready.back().revents = fds[i].revents;
    }
    // Signals first, then timers in the order they fell due, posted tasks, descriptors.
    // Callbacks may cancel or unwatch sources of this round; dispatch looks each one up again.
    std::stable_sort(ready.begin(), ready.end(), [](const Source& a, const Source& b) {
      if (a.kind != b.kind) return a.kind < b.kind;
      return a.kind == SourceKind::Timer && a.due < b.due;
    });
    for (const Source& source : ready) {
      if (quitting_) break;
      dispatch(source);
    }
  }
  quitting_ = false;
  return status_;
}

void LinuxEventLoop::dispatch(const Source& source) {
  switch (source.kind) {
    case SourceKind::Signal:
      dispatchSignal();
      break;
    case SourceKind::Timer:
      dispatchTimer(source.key);
      break;
    case SourceKind::Posted: {
      std::uint64_t count = 0;
      [[maybe_unused]] auto got = ::read(wakeFd_.get(), &count, sizeof count);
      runPostedTasks();
      break;
    }
    case SourceKind::Watch:
      dispatchWatch(source);
      break;
  }
}

void LinuxEventLoop::dispatchTimer(TimerId id) {
  const auto timer = timers_.find(id);
  if (timer == timers_.end()) return;
  // However many periods passed (a suspension, a slow callback), the timer fires once.
  std::uint64_t expirations = 0;
  if (::read(timer->second.fd.get(), &expirations, sizeof expirations) !=
          static_cast<ssize_t>(sizeof expirations) ||
      expirations == 0) {
    return;
  }
  const std::shared_ptr<Callback> callback = timer->second.callback;
  if (timer->second.period > 0.0) {
    timer->second.due += timer->second.period * static_cast<double>(expirations);
  } else {
    timers_.erase(timer);
  }
  (*callback)();
}

void LinuxEventLoop::dispatchSignal() {
  signalfd_siginfo info{};
  if (::read(signalFd_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
  const int signal = static_cast<int>(info.ssi_signo);
  if (signalHandler_) {
    signalHandler_(signal);
  } else {
    quit(128 + signal);
  }
}

void LinuxEventLoop::dispatchWatch(const Source& source) {
  auto it = watches_.find(source.fd);
  if (it == watches_.end() || it->second.serial != source.key) return;
  if (source.revents & POLLNVAL) {
    // Closed while watched: drop it rather than spin on it.
    watches_.erase(it);
    return;
  }
  if ((source.revents & (POLLIN | POLLHUP | POLLERR)) && it->second.onReadable) {
    const auto callback = it->second.onReadable;  // survives an unwatch inside the call
    (*callback)();
  }
  if (quitting_) return;
  it = watches_.find(source.fd);
  if (it == watches_.end() || it->second.serial != source.key) return;
  if ((source.revents & (POLLOUT | POLLHUP | POLLERR)) && it->second.onWritable) {
    const auto callback = it->second.onWritable;
    (*callback)();
  }
}

}  // namespace quillmoss
