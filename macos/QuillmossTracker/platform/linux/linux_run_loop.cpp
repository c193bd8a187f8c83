// The run loop on Linux.
#include "platform/linux/linux_run_loop.h"

#include <sys/signalfd.h>
#include <sys/timerfd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "platform/linux/termination_signals.h"

namespace quillmoss::tracker {
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

LinuxRunLoop::LinuxRunLoop() {
  blockTerminationSignals();
  const sigset_t set = terminationSignals();
  signalFd_.reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  // Without a signalfd the signals must keep ending the process.
  if (!signalFd_.valid()) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

LinuxRunLoop::~LinuxRunLoop() = default;

RunLoop::TimerId LinuxRunLoop::addTimer(double delaySeconds, double periodSeconds,
                                        Callback callback) {
  UniqueFd fd(timerfd_create(timerClock(), TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd.valid()) return 0;
  itimerspec setting{};
  setting.it_value = toTimespec(delaySeconds);
  // A zero first expiry would disarm the timer; "now" is the next nanosecond.
  if (setting.it_value.tv_sec == 0 && setting.it_value.tv_nsec == 0) setting.it_value.tv_nsec = 1;
  setting.it_interval = toTimespec(periodSeconds);
  if (timerfd_settime(fd.get(), 0, &setting, nullptr) != 0) return 0;
  const TimerId id = nextTimer_++;
  timers_.emplace(id, Timer{std::move(fd), std::make_shared<Callback>(std::move(callback)),
                            periodSeconds, timerClockNow() + delaySeconds});
  return id;
}

RunLoop::TimerId LinuxRunLoop::scheduleRepeating(double periodSeconds, Callback callback) {
  if (!(periodSeconds > 0.0)) return 0;
  return addTimer(periodSeconds, periodSeconds, std::move(callback));
}

RunLoop::TimerId LinuxRunLoop::scheduleOnce(double delaySeconds, Callback callback) {
  return addTimer(delaySeconds, 0.0, std::move(callback));
}

void LinuxRunLoop::cancel(TimerId id) {
  timers_.erase(id);
}

void LinuxRunLoop::watchReadable(int fd, Callback callback) {
  watches_[fd] = std::make_shared<Callback>(std::move(callback));
}

void LinuxRunLoop::unwatch(int fd) {
  watches_.erase(fd);
}

void LinuxRunLoop::onTerminationSignal(std::function<void(int signal)> handler) {
  signalHandler_ = std::move(handler);
}

void LinuxRunLoop::quit(int status) {
  if (quitting_) return;
  quitting_ = true;
  status_ = status;
}

int LinuxRunLoop::run() {
  while (!quitting_) {
    pollFds_.clear();
    sources_.clear();
    if (signalFd_.valid()) {
      pollFds_.push_back({signalFd_.get(), POLLIN, 0});
      sources_.push_back({SourceKind::Signal});
    }
    for (const auto& [id, timer] : timers_) {
      pollFds_.push_back({timer.fd.get(), POLLIN, 0});
      sources_.push_back({SourceKind::Timer, id, -1, timer.due});
    }
    for (const auto& [fd, callback] : watches_) {
      pollFds_.push_back({fd, POLLIN, 0});
      sources_.push_back({SourceKind::Watch, 0, fd});
    }
    if (poll(pollFds_.data(), pollFds_.size(), -1) < 0) {
      if (errno == EINTR) continue;
      quit(1);
      break;
    }
    // Callbacks may cancel timers or unwatch descriptors of this round; dispatch looks
    // each source up again and skips the ones that are gone.
    const std::vector<Source> ready = [&] {
      std::vector<Source> list;
      for (std::size_t i = 0; i < pollFds_.size(); ++i) {
        if (pollFds_[i].revents == 0) continue;
        // A descriptor closed behind our back would be reported forever.
        if ((pollFds_[i].revents & POLLNVAL) != 0 && sources_[i].kind == SourceKind::Watch) {
          watches_.erase(sources_[i].fd);
          continue;
        }
        list.push_back(sources_[i]);
      }
      // Signals first, then timers in the order they fell due, then descriptors.
      std::stable_sort(list.begin(), list.end(), [](const Source& a, const Source& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        return a.kind == SourceKind::Timer && a.due < b.due;
      });
      return list;
    }();
    for (const Source& source : ready) {
      if (quitting_) break;
      dispatch(source);
    }
  }
  return status_;
}

void LinuxRunLoop::dispatch(const Source& source) {
  switch (source.kind) {
    case SourceKind::Signal:
      dispatchSignal();
      break;
    case SourceKind::Timer:
      dispatchTimer(source.timer);
      break;
    case SourceKind::Watch: {
      const auto watch = watches_.find(source.fd);
      if (watch == watches_.end()) return;
      const std::shared_ptr<Callback> callback = watch->second;
      (*callback)();
      break;
    }
  }
}

void LinuxRunLoop::dispatchTimer(TimerId id) {
  const auto timer = timers_.find(id);
  if (timer == timers_.end()) return;
  // However many periods passed (a suspension, a slow callback), the timer fires once.
  std::uint64_t expirations = 0;
  if (read(timer->second.fd.get(), &expirations, sizeof expirations) !=
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

void LinuxRunLoop::dispatchSignal() {
  signalfd_siginfo info{};
  if (read(signalFd_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
  const int signal = static_cast<int>(info.ssi_signo);
  if (signalHandler_) {
    signalHandler_(signal);
  } else {
    quit(128 + signal);
  }
}

}  // namespace quillmoss::tracker
