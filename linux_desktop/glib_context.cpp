// GLib's main context driven by the program's loop; see glib_context.h.
#include "linux_desktop/glib_context.h"

#include <poll.h>

namespace quillmoss::desktop {

// Between two turns the context is always prepared and queried, as g_main_context_iteration()
// leaves it while it polls.
GlibContext::GlibContext(EventLoop& loop) : loop_(loop), context_(g_main_context_new()) {
  g_main_context_acquire(context_);
  g_main_context_push_thread_default(context_);
  prepare();
}

GlibContext::~GlibContext() {
  if (timer_) loop_.cancel(*timer_);
  if (refreshTimer_) loop_.cancel(*refreshTimer_);
  for (int fd : watched_) loop_.unwatch(fd);
  g_main_context_pop_thread_default(context_);
  g_main_context_release(context_);
  g_main_context_unref(context_);
}

void GlibContext::refresh() {
  if (refreshTimer_) return;
  refreshTimer_ = loop_.scheduleOnce(0.0, [this] {
    refreshTimer_.reset();
    turn();
  });
}

void GlibContext::prepare() {
  const bool ready = g_main_context_prepare(context_, &maxPriority_);
  gint timeoutMs = -1;
  for (;;) {
    const gint needed = g_main_context_query(context_, maxPriority_, &timeoutMs, fds_.data(),
                                             static_cast<gint>(fds_.size()));
    const bool fits = needed <= static_cast<gint>(fds_.size());
    fds_.resize(static_cast<std::size_t>(needed));
    if (fits) break;
  }

  // The sources we attach ask only to read (GDBus's wake-up descriptor).
  std::unordered_set<int> wanted;
  for (const GPollFD& fd : fds_) wanted.insert(fd.fd);
  std::erase_if(watched_, [&](int fd) {
    if (wanted.contains(fd)) return false;
    loop_.unwatch(fd);
    return true;
  });
  for (int fd : wanted) {
    if (watched_.insert(fd).second) loop_.watchReadable(fd, [this] { turn(); });
  }

  if (timer_) loop_.cancel(*timer_);
  timer_.reset();
  if (ready) timeoutMs = 0;
  nextTimeoutMs_ = timeoutMs;
  if (timeoutMs >= 0) {
    timer_ = loop_.scheduleOnce(timeoutMs / 1000.0, [this] {
      timer_.reset();
      turn();
    });
  }
}

bool GlibContext::runUntil(const std::function<bool()>& done, int timeoutMs) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  // Sources added on this thread since the last turn are not in the last query yet.
  turn();
  while (!done()) {
    const gint64 left = (deadline - g_get_monotonic_time()) / 1000;
    if (left <= 0) return false;
    int wait = static_cast<int>(left);
    if (nextTimeoutMs_ >= 0 && nextTimeoutMs_ < wait) wait = nextTimeoutMs_;
    turn(wait);
  }
  return true;
}

void GlibContext::turn(int waitMs) {
  // The loop says that one descriptor is ready or a timeout passed; a poll (without waiting,
  // unless runUntil() asks) tells the context which.
  std::vector<pollfd> polled;
  polled.reserve(fds_.size());
  for (const GPollFD& fd : fds_) polled.push_back({fd.fd, static_cast<short>(fd.events), 0});
  if (!polled.empty()) ::poll(polled.data(), polled.size(), waitMs);
  for (std::size_t i = 0; i < fds_.size(); ++i) {
    fds_[i].revents = static_cast<gushort>(polled[i].revents);
  }
  if (g_main_context_check(context_, maxPriority_, fds_.data(), static_cast<gint>(fds_.size()))) {
    g_main_context_dispatch(context_);
  }
  prepare();
}

}  // namespace quillmoss::desktop
