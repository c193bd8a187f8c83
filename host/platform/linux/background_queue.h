// The background queue (the global queue with user-initiated quality of service): a small
// pool of worker threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/task_queue.h"

namespace quillmoss::host {

class BackgroundQueue final : public TaskQueue {
 public:
  static constexpr std::size_t kDefaultThreadCount = 3;

  explicit BackgroundQueue(std::size_t threadCount = kDefaultThreadCount);
  // Runs every task already queued (so no reply is lost), then joins the workers.
  ~BackgroundQueue() override;
  BackgroundQueue(const BackgroundQueue&) = delete;
  BackgroundQueue& operator=(const BackgroundQueue&) = delete;

  // Thread-safe; tasks may run concurrently and in any order.
  void async(Task task) override;

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace quillmoss::host
