// The heap given back a moment after the last reply: once per quiet moment, off the main thread.
#include "platform/linux/heap_release.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/fake/fake_event_loop.h"

namespace quillmoss::testing {
namespace {

struct HeldQueue : host::TaskQueue {
  void async(Task task) override { tasks.push_back(std::move(task)); }
  std::vector<Task> tasks;
};

TEST(HeapRelease, GivesBackOnceAfterEachQuietMomentNeverDuringABurst) {
  FakeEventLoop loop;
  HeldQueue background;
  int released = 0;
  host::HeapRelease heap(
      loop, background, [&] { ++released; }, [&] { return loop.time; });
  for (int i = 0; i < 6; ++i) {
    heap.afterReply();
    loop.advance(0.3);
  }
  EXPECT_TRUE(background.tasks.empty());
  loop.advance(0.2);
  ASSERT_EQ(background.tasks.size(), 1u);
  EXPECT_EQ(released, 0);  // not on the main thread
  background.tasks.front()();
  EXPECT_EQ(released, 1);
  loop.advance(60);
  heap.afterReply();
  loop.advance(host::HeapRelease::kQuietSeconds - 0.01);
  EXPECT_EQ(background.tasks.size(), 1u);
  loop.advance(0.02);
  EXPECT_EQ(background.tasks.size(), 2u);
}

}  // namespace
}  // namespace quillmoss::testing
