// Worker pool behind the background queue.
#include "platform/linux/background_queue.h"

namespace quillmoss::host {

namespace {
// The queue whose worker the current thread is, if any.
thread_local BackgroundQueue* currentQueue = nullptr;
}  // namespace

BackgroundQueue::BackgroundQueue(std::size_t threadCount)
    : poolSize_(threadCount == 0 ? 1 : threadCount) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < poolSize_; ++i) startWorker();
}

BackgroundQueue::~BackgroundQueue() {
  std::deque<Task> dropped;
  std::map<std::thread::id, std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;  // From here on no worker starts.
    dropped.swap(tasks_);
    workers.swap(workers_);
  }
  ready_.notify_all();
  dropped.clear();  // Outside the lock: a dropped task may still answer its caller.
  for (auto& [id, worker] : workers) worker.join();
}

void BackgroundQueue::async(Task task) {
  if (!task) return;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    tasks_.push_back(std::move(task));
  }
  ready_.notify_one();
}

void BackgroundQueue::startWorker() {
  // Surplus workers that left are joined here, so finished threads never pile up.
  for (const auto& id : exited_) {
    auto found = workers_.find(id);
    if (found == workers_.end()) continue;
    found->second.join();
    workers_.erase(found);
  }
  exited_.clear();
  std::thread worker([this] { work(); });
  const auto id = worker.get_id();
  workers_.emplace(id, std::move(worker));
}

void BackgroundQueue::work() {
  currentQueue = this;
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !tasks_.empty() || active() > poolSize_; });
      if (stopping_) return;
      if (tasks_.empty()) {
        // A worker that waited is back, so one of the extra ones leaves.
        exited_.push_back(std::this_thread::get_id());
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

BackgroundQueue::BlockingWait::BlockingWait() : queue_(currentQueue) {
  if (queue_ == nullptr) return;
  std::lock_guard lock(queue_->mutex_);
  ++queue_->waiting_;
  if (!queue_->stopping_ && queue_->active() < queue_->poolSize_ &&
      queue_->workers_.size() - queue_->exited_.size() < queue_->poolSize_ + kMaxExtraWorkers) {
    queue_->startWorker();
  }
}

BackgroundQueue::BlockingWait::~BlockingWait() {
  if (queue_ == nullptr) return;
  {
    std::lock_guard lock(queue_->mutex_);
    --queue_->waiting_;
  }
  queue_->ready_.notify_all();
}

}  // namespace quillmoss::host
