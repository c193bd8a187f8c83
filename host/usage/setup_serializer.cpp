// One-at-a-time execution of "setup" in arrival order.
#include "usage/setup_serializer.h"

#include <utility>

namespace quillmoss::host {

std::uint64_t SetupSerializer::takeTicket() {
  std::lock_guard lock(mutex_);
  return nextTicket_++;
}

void SetupSerializer::submit(std::uint64_t ticket, std::function<void()> job) {
  std::unique_lock lock(mutex_);
  waiting_.emplace(ticket, std::move(job));
  if (running_) return;  // the running thread picks it up when its turn comes
  running_ = true;
  for (;;) {
    auto next = waiting_.find(nextToRun_);
    if (next == waiting_.end()) break;
    auto current = std::move(next->second);
    waiting_.erase(next);
    lock.unlock();
    current();
    lock.lock();
    ++nextToRun_;
  }
  running_ = false;
}

}  // namespace quillmoss::host
