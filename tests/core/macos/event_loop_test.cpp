// The macOS event loop through the port: posts, timers, descriptors, signals and quitting.
// Every test runs the loop on the main thread, as the programs do.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "core/event_loop.h"

namespace quillmoss {
namespace {

constexpr int kGuardFailed = 99;

// Quits with kGuardFailed if a test's condition never comes, so no test hangs.
std::unique_ptr<EventLoop> guardedLoop() {
  auto loop = makeEventLoop();
  EventLoop* raw = loop.get();
  loop->scheduleOnce(10.0, [raw] { raw->quit(kGuardFailed); });
  return loop;
}

TEST(MacosEventLoop, PostsFromOtherThreadsRunOnTheLoopInPostingOrder) {
  auto loop = guardedLoop();
  std::vector<int> seen;
  bool allOnLoop = true;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      loop->post([&, i] {
        allOnLoop = allOnLoop && loop->onLoopThread();
        seen.push_back(i);
        if (i == 99) loop->quit(7);
      });
    }
  });
  EXPECT_EQ(loop->run(), 7);
  poster.join();
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_TRUE(allOnLoop);
}

TEST(MacosEventLoop, QuitBeforeRunAndFromAnotherThread) {
  auto loop = guardedLoop();
  loop->quit(3);
  EXPECT_EQ(loop->run(), 3);
  std::thread quitter([&] { loop->quit(4); });
  EXPECT_EQ(loop->run(), 4);
  quitter.join();
}

TEST(MacosEventLoop, TimersFireAsScheduledAndCancelledOnesNever) {
  auto loop = guardedLoop();
  int once = 0;
  int repeats = 0;
  int cancelled = 0;
  const auto never = loop->scheduleOnce(0.01, [&] { ++cancelled; });
  loop->cancel(never);
  loop->scheduleOnce(0.0, [&] { ++once; });
  EventLoop::TimerId repeating = 0;
  repeating = loop->scheduleRepeating(0.01, [&] {
    if (++repeats == 3) {
      loop->cancel(repeating);
      loop->scheduleOnce(0.05, [&] { loop->quit(0); });
    }
  });
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeats, 3);
  EXPECT_EQ(cancelled, 0);
}

TEST(MacosEventLoop, ReadableDescriptorIsDeliveredUntilUnwatched) {
  auto loop = guardedLoop();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int reads = 0;
  loop->watchReadable(fds[0], [&] {
    char byte;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    ++reads;
    loop->unwatch(fds[0]);
    loop->quit(0);
  });
  std::thread writer([&] { ASSERT_EQ(::write(fds[1], "x", 1), 1); });
  EXPECT_EQ(loop->run(), 0);
  writer.join();
  EXPECT_EQ(reads, 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(MacosEventLoop, TerminationSignalsArriveAsLoopEventsOrEndAnUnhandledLoop) {
  auto handled = guardedLoop();
  std::vector<int> signals;
  handled->onTerminationSignal([&](int signal) {
    signals.push_back(signal);
    if (signals.size() == 2) handled->quit(0);
  });
  handled->post([] { ::raise(SIGTERM); });
  handled->post([] { ::raise(SIGINT); });
  EXPECT_EQ(handled->run(), 0);
  // Signals pending together have no order.
  std::sort(signals.begin(), signals.end());
  EXPECT_EQ(signals, (std::vector<int>{SIGINT, SIGTERM}));
  handled.reset();

  auto unhandled = guardedLoop();
  unhandled->post([] { ::raise(SIGTERM); });
  EXPECT_EQ(unhandled->run(), 128 + SIGTERM);
}

}  // namespace
}  // namespace quillmoss
