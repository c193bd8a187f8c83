// Memory the host's heap keeps after busy moments, given back to the system.
#pragma once

#include <cstddef>
#include <functional>

#include "core/event_loop.h"
#include "core/monotonic_clock.h"
#include "platform/task_queue.h"

namespace quillmoss::host {

// One malloc arena for every thread, so that a trim reaches all the memory the workers used
// (glibc never trims the top of a thread's own arena), and large blocks kept in the heap between
// calls instead of being mapped and faulted in afresh each time. The workers' day replies take
// a few large blocks each, so they hardly contend for the one arena. Before any thread starts.
void configureHeap();

// Gives back what the heap holds free beyond kSlackBytes: malloc_trim when that is more.
void releaseFreeHeap();

// A moment after the last reply, the free heap is given back on the background queue (the
// main thread never waits on it); calls in quick succession keep their memory meanwhile. A reply
// costs no system call: the one timer looks at the time of the last reply when it fires. The
// loop and the queue outlive this object; main thread only.
class HeapRelease {
 public:
  static constexpr double kQuietSeconds = 0.5;
  static constexpr std::size_t kSlackBytes = 512 * 1024;

  HeapRelease(EventLoop& loop, TaskQueue& background,
              std::function<void()> release = releaseFreeHeap,
              std::function<double()> now = monotonicSeconds)
      : loop_(loop), background_(background), release_(std::move(release)), now_(std::move(now)) {}
  ~HeapRelease() { loop_.cancel(timer_); }
  HeapRelease(const HeapRelease&) = delete;
  HeapRelease& operator=(const HeapRelease&) = delete;

  void afterReply();

 private:
  void wait(double seconds);

  EventLoop& loop_;
  TaskQueue& background_;
  std::function<void()> release_;
  std::function<double()> now_;
  EventLoop::TimerId timer_ = 0;
  double lastReply_ = 0.0;
};

}  // namespace quillmoss::host
