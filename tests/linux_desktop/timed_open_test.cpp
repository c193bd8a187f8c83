// Openings that a stopped server never answers: bounded waits, one attempt, a late result kept.
#include "linux_desktop/timed_open.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <future>

namespace quillmoss::desktop {
namespace {

// The opener stands for a server that answers only once `answer` is set.
TEST(TimedOpen, WaitsOnceThenRefusesAtOnceAndHandsTheLateResultOn) {
  std::promise<void> answer;
  std::atomic<int> attempts = 0;
  TimedOpen<int> open([&attempts, answered = answer.get_future().share()] {
    ++attempts;
    answered.wait();
    return 42;
  });
  EXPECT_EQ(open(0.05), std::nullopt);
  EXPECT_EQ(open(1e6), std::nullopt);  // given up on once: not waited for again
  answer.set_value();
  std::optional<int> late;
  while (!late) late = open(0.0);
  EXPECT_EQ(*late, 42);
  EXPECT_EQ(attempts, 1);
}

// The loop's thread is never held from a termination signal.
TEST(TimedOpen, APendingTerminationSignalEndsTheWait) {
  blockTerminationSignals();
  std::promise<void> never;
  TimedOpen<int> open([stuck = never.get_future().share()] { return stuck.wait(), 1; });
  ::raise(SIGTERM);
  EXPECT_EQ(open(1e6), std::nullopt);
  const sigset_t signals = terminationSignals();
  int taken = 0;
  EXPECT_EQ(sigwait(&signals, &taken), 0);
  never.set_value();
}

}  // namespace
}  // namespace quillmoss::desktop
