// The background queue: work off the caller's thread, concurrently, and nothing lost at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/linux/background_queue.h"

namespace quillmoss::host {
namespace {

TEST(BackgroundQueue, RunsTasksConcurrently) {
  // Two tasks that each wait for the other can only finish on two workers at once.
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0;
  int finished = 0;
  BackgroundQueue queue(2);
  for (int i = 0; i < 2; ++i) {
    queue.async([&] {
      std::unique_lock lock(mutex);
      ++arrived;
      changed.notify_all();
      changed.wait_for(lock, std::chrono::seconds(10), [&] { return arrived == 2; });
      if (arrived == 2) ++finished;
      changed.notify_all();
    });
  }
  std::unique_lock lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return finished == 2; }));
}

TEST(BackgroundQueue, DestructionRunsEverythingAlreadyQueued) {
  std::atomic<int> ran{0};
  {
    BackgroundQueue queue(1);
    for (int i = 0; i < 500; ++i) {
      queue.async([&] {
        ran.fetch_add(1);
        if (ran.load() == 1) queue.async([&] { ran.fetch_add(1000); });  // Posted while draining.
      });
    }
  }
  EXPECT_EQ(ran.load(), 1500);
}

}  // namespace
}  // namespace quillmoss::host
