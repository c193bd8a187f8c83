// The Linux run loop delivers timers, readable descriptors and termination signals as
// events of its one thread.
#include "core/linux/linux_event_loop.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace quillmoss {
namespace {

TEST(LinuxRunLoopTest, TimersFireInOrderAndCancelledOnesNever) {
  LinuxEventLoop loop;
  std::vector<char> events;
  int repeats = 0;
  // However late the loop gets to them, timers due together run in the order they fell due.
  const auto cancelled = loop.scheduleOnce(0.030, [&] { events.push_back('x'); });
  loop.scheduleRepeating(0.010, [&] {
    events.push_back('r');
    if (++repeats == 5) loop.quit(7);
  });
  loop.scheduleOnce(0.001, [&] {
    events.push_back('a');
    loop.cancel(cancelled);
  });
  EXPECT_EQ(loop.run(), 7);
  EXPECT_EQ(events, (std::vector<char>{'a', 'r', 'r', 'r', 'r', 'r'}));
}

TEST(LinuxRunLoopTest, ZeroDelayFiresAndReadableDescriptorIsDelivered) {
  LinuxEventLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  loop.scheduleOnce(0.0, [&] { ASSERT_EQ(::write(fds[1], "k", 1), 1); });
  char got = 0;
  loop.watchReadable(fds[0], [&] {
    ASSERT_EQ(::read(fds[0], &got, 1), 1);
    loop.unwatch(fds[0]);
    loop.quit(0);
  });
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(got, 'k');
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(LinuxRunLoopTest, ClosedWatchedDescriptorIsDroppedNotSpunOn) {
  LinuxEventLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // Scheduled first so that its descriptor cannot take the closed pipe's number.
  loop.scheduleOnce(0.005, [&] { loop.quit(0); });
  int calls = 0;
  loop.watchReadable(fds[0], [&] { ++calls; });
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(calls, 0);
}

TEST(LinuxRunLoopTest, TerminationSignalsArriveAsLoopEventsOrEndAnUnhandledLoop) {
  {
    LinuxEventLoop unhandled;
    ::raise(SIGTERM);
    EXPECT_EQ(unhandled.run(), 128 + SIGTERM);
  }
  LinuxEventLoop loop;
  std::vector<int> signals;
  bool inTimer = false;
  loop.onTerminationSignal([&](int signal) {
    EXPECT_FALSE(inTimer);
    signals.push_back(signal);
    if (signals.size() == 2) loop.quit(0);
  });
  loop.scheduleOnce(0.001, [&] {
    inTimer = true;
    // Blocked by the loop, so they wait for it instead of ending the process.
    ::raise(SIGTERM);
    ::raise(SIGINT);
    inTimer = false;
  });
  EXPECT_EQ(loop.run(), 0);
  std::sort(signals.begin(), signals.end());
  EXPECT_EQ(signals, (std::vector<int>{SIGINT, SIGTERM}));
}

TEST(LinuxRunLoopTest, RepeatingTimerThatMissedPeriodsFiresOnce) {
  LinuxEventLoop loop;
  bool blocked = false;
  int firesAfterBlock = 0;
  loop.scheduleRepeating(0.002, [&] {
    if (!blocked) return;
    ++firesAfterBlock;
    loop.quit(0);
  });
  loop.scheduleOnce(0.001, [&] {
    // Hold the loop for ten periods, as a suspension would.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    while (std::chrono::steady_clock::now() < until) {
    }
    blocked = true;
  });
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(firesAfterBlock, 1);
}

}  // namespace
}  // namespace quillmoss
