// The background queue: work runs concurrently, and nothing starts once the queue goes.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/linux/background_queue.h"

namespace quillmoss::host {
namespace {

using namespace std::chrono_literals;

TEST(BackgroundQueue, RunsTasksConcurrently) {
  // Two tasks that each wait for the other can only finish on two workers at once.
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0, finished = 0;
  BackgroundQueue queue(2);
  for (int i = 0; i < 2; ++i) {
    queue.async([&] {
      std::unique_lock lock(mutex);
      ++arrived;
      changed.notify_all();
      if (changed.wait_for(lock, 10s, [&] { return arrived == 2; })) ++finished;
      changed.notify_all();
    });
  }
  std::unique_lock lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return finished == 2; }));
}

// The program is ending: a task already running finishes, one not started never runs.
TEST(BackgroundQueue, DestructionDropsWhatHasNotStarted) {
  std::promise<void> started;
  std::promise<void> dropped;
  std::atomic<bool> secondRan{false};
  auto queue = std::make_unique<BackgroundQueue>(1);
  queue->async([&, released = dropped.get_future().share()] {
    started.set_value();
    // Waits until the second task is dropped; without a drop the queue would run it next.
    released.wait_for(10s);
  });
  // The guard fulfils its promise when the task holding it is destroyed, run or not.
  std::shared_ptr<void> guard(nullptr, [&](void*) { dropped.set_value(); });
  queue->async([&, guard = std::move(guard)] { secondRan = true; });
  started.get_future().wait();
  queue.reset();
  EXPECT_FALSE(secondRan.load());
}

}  // namespace
}  // namespace quillmoss::host
