// Worker pool behind the background queue.
#include "platform/linux/background_queue.h"

namespace quillmoss::host {

BackgroundQueue::BackgroundQueue(std::size_t threadCount) {
  if (threadCount == 0) threadCount = 1;
  workers_.reserve(threadCount);
  for (std::size_t i = 0; i < threadCount; ++i) workers_.emplace_back([this] { work(); });
}

BackgroundQueue::~BackgroundQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void BackgroundQueue::async(Task task) {
  if (!task) return;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  ready_.notify_one();
}

void BackgroundQueue::work() {
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;  // Stopping and drained.
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace quillmoss::host
