// The background queue (the global queue with user-initiated quality of service): a small
// pool of worker threads that grows while workers wait on something outside the process.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/task_queue.h"

namespace quillmoss::host {

class BackgroundQueue final : public TaskQueue {
 public:
  static constexpr std::size_t kDefaultThreadCount = 3;
  // Workers started beyond the pool for waits, at most; a pile of waits beyond that queues.
  static constexpr std::size_t kMaxExtraWorkers = 32;

  explicit BackgroundQueue(std::size_t threadCount = kDefaultThreadCount);
  // Drops the tasks not started yet (the program is ending) and waits for those running.
  ~BackgroundQueue() override;
  BackgroundQueue(const BackgroundQueue&) = delete;
  BackgroundQueue& operator=(const BackgroundQueue&) = delete;

  // Thread-safe; tasks may run concurrently and in any order.
  void async(Task task) override;

  // Marks the calling worker, for this object's lifetime, as waiting on something outside the
  // process (a child, say): another worker takes its place meanwhile, so the wait holds back
  // no other task. On a thread that is no queue's worker it does nothing.
  class BlockingWait {
   public:
    BlockingWait();
    ~BlockingWait();
    BlockingWait(const BlockingWait&) = delete;
    BlockingWait& operator=(const BlockingWait&) = delete;

   private:
    BackgroundQueue* queue_;
  };

 private:
  void startWorker();  // With the mutex held.
  void work();
  std::size_t active() const { return workers_.size() - exited_.size() - waiting_; }

  const std::size_t poolSize_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::size_t waiting_ = 0;  // Workers inside a BlockingWait.
  std::map<std::thread::id, std::thread> workers_;
  std::vector<std::thread::id> exited_;  // Workers that left as surplus, joined later.
};

}  // namespace quillmoss::host
