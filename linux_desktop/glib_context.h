// A GMainContext of our own, run by the program's loop: its descriptors are watched by the loop
// and its next timeout is one of the loop's timers, so GDBus signals and method calls arrive on
// the loop's thread without a thread of ours. (GDBus itself reads the socket on GLib's worker
// thread and wakes this context through its event descriptor.) Pushed as the thread-default
// context for its lifetime, so D-Bus subscriptions made meanwhile deliver here.
#pragma once

#include <glib.h>

#include <functional>
#include <optional>
#include <unordered_set>
#include <vector>

#include "core/event_loop.h"

namespace quillmoss::desktop {

// Its loop watchers and timers capture `this`; the destructor removes them all.
class GlibContext {
 public:
  explicit GlibContext(EventLoop& loop);
  ~GlibContext();
  GlibContext(const GlibContext&) = delete;
  GlibContext& operator=(const GlibContext&) = delete;

  GMainContext* context() const { return context_; }
  // Picks up sources added from the loop's thread since the last turn (a subscription, an
  // exported object); sources added from other threads wake the context themselves.
  void refresh();
  // Runs the context alone (the loop waits) until done() holds or timeoutMs passed; for the
  // first answer of a shell at start-up. False on timeout.
  bool runUntil(const std::function<bool()>& done, int timeoutMs);

 private:
  void prepare();
  void turn(int waitMs = 0);

  EventLoop& loop_;
  GMainContext* context_;
  std::vector<GPollFD> fds_;
  std::unordered_set<int> watched_;
  std::optional<EventLoop::TimerId> timer_;
  std::optional<EventLoop::TimerId> refreshTimer_;
  gint maxPriority_ = 0;
  gint nextTimeoutMs_ = -1;
};

// Makes a context the thread-default one for a scope: GDBus work started inside reports to it
// even when another context was pushed since.
class ThreadDefaultScope {
 public:
  explicit ThreadDefaultScope(GMainContext* context) : context_(context) {
    g_main_context_push_thread_default(context_);
  }
  ~ThreadDefaultScope() { g_main_context_pop_thread_default(context_); }
  ThreadDefaultScope(const ThreadDefaultScope&) = delete;
  ThreadDefaultScope& operator=(const ThreadDefaultScope&) = delete;

 private:
  GMainContext* context_;
};

}  // namespace quillmoss::desktop
