// The Linux main loop: cross-thread posts, timers, watched descriptors and quitting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/linux/linux_event_loop.h"

namespace quillmoss {
namespace {

using posix::UniqueFd;

constexpr int kGuardFailed = 99;

// Quits with kGuardFailed if a test's condition never comes, so no test hangs.
void armGuard(LinuxEventLoop& loop) {
  loop.scheduleRepeating(10.0, [&loop] { loop.quit(kGuardFailed); });
}

struct Pipe {
  Pipe() {
    int fds[2];
    EXPECT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    read.reset(fds[0]);
    write.reset(fds[1]);
  }
  UniqueFd read;
  UniqueFd write;
};

TEST(LinuxEventLoop, TasksPostedFromManyThreadsAllRunInPostingOrderPerThread) {
  LinuxEventLoop loop;
  armGuard(loop);
  constexpr int kThreads = 4;
  constexpr int kTasks = 2000;
  std::vector<std::vector<int>> seen(kThreads);
  int remaining = kThreads * kTasks;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kTasks; ++i) {
        loop.post([&, t, i] {
          seen[t].push_back(i);  // Only ever touched on the loop thread.
          if (--remaining == 0) loop.quit(0);
        });
      }
    });
  }
  EXPECT_EQ(loop.run(), 0);
  for (auto& poster : posters) poster.join();
  for (const auto& order : seen) {
    ASSERT_EQ(order.size(), static_cast<std::size_t>(kTasks));
    for (int i = 0; i < kTasks; ++i) ASSERT_EQ(order[i], i);
  }
}

TEST(LinuxEventLoop, RepeatingTimerFiresUntilCancelledFromItsOwnCallbackOrElsewhere) {
  LinuxEventLoop loop;
  armGuard(loop);
  int fired = 0;
  EventLoop::TimerId id = 0;
  id = loop.scheduleRepeating(0.002, [&] {
    if (++fired == 3) {
      loop.cancel(id);
      // Give a cancelled timer a chance to misfire before quitting.
      loop.scheduleRepeating(0.02, [&] { loop.quit(0); });
    }
  });
  // Another timer cancelled before it fires never runs; unknown ids are harmless.
  loop.cancel(loop.scheduleRepeating(0.001, [&] { fired += 100; }));
  loop.cancel(12345);
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(fired, 3);
}

TEST(LinuxEventLoop, OutOfRangePeriodsAreClampedNotDisarmed) {
  LinuxEventLoop loop;
  armGuard(loop);
  EXPECT_NE(loop.scheduleRepeating(1e300, [&] { loop.quit(kGuardFailed); }), 0u);
  // A zero period would disarm a timerfd; it fires at the shortest period instead.
  loop.scheduleRepeating(0.0, [&] { loop.quit(0); });
  EXPECT_EQ(loop.run(), 0);
}

TEST(LinuxEventLoop, WatchesOnOneDescriptorAreIndependentAndSeeDataFromOtherThreads) {
  LinuxEventLoop loop;
  armGuard(loop);
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
  UniqueFd a(fds[0]), b(fds[1]);
  int writable = 0;
  std::string received;
  std::thread writer;
  loop.watchReadable(a.get(), [&] {
    char buffer[16];
    const auto got = ::read(a.get(), buffer, sizeof buffer);
    if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
    if (received == "ping") {
      loop.unwatch(a.get());
      loop.quit(0);
    }
  });
  loop.watchWritable(a.get(), [&] {
    ++writable;
    loop.unwatchWritable(a.get());  // The readable watch stays.
    writer = std::thread([&] { ASSERT_EQ(::write(b.get(), "ping", 4), 4); });
  });
  EXPECT_EQ(loop.run(), 0);
  if (writer.joinable()) writer.join();
  EXPECT_EQ(writable, 1);
  EXPECT_EQ(received, "ping");
}

TEST(LinuxEventLoop, DescriptorClosedWhileWatchedDoesNotSpinTheLoop) {
  LinuxEventLoop loop;
  armGuard(loop);
  Pipe pipe;
  int calls = 0;
  int ticks = 0;
  loop.scheduleRepeating(0.005, [&] {
    if (++ticks == 3) loop.quit(0);
  });
  loop.watchReadable(pipe.read.get(), [&] { ++calls; });
  pipe.read.reset();  // Closed while watched, and no new descriptor takes its number.
  EXPECT_EQ(loop.run(), 0);
  EXPECT_EQ(calls, 0);
}

TEST(LinuxEventLoop, QuitFromAnotherThreadAndBeforeRun) {
  LinuxEventLoop loop;
  armGuard(loop);
  std::atomic<bool> running{false};
  loop.post([&] { running = true; });
  std::thread quitter([&] {
    while (!running) std::this_thread::yield();
    loop.quit(7);
  });
  EXPECT_EQ(loop.run(), 7);
  quitter.join();

  loop.quit(3);
  EXPECT_EQ(loop.run(), 3);  // Returns at once.
}

TEST(LinuxEventLoop, TasksRunLaterNotInsidePostAndThoseLeftAtQuitRunOnTheNextRun) {
  auto loop = std::make_unique<LinuxEventLoop>();
  std::vector<int> order;
  loop->post([&] {
    loop->post([&] { order.push_back(4); });  // Behind the task already posted.
    order.push_back(1);
    loop->quit(0);
  });
  loop->post([&] {
    order.push_back(2);
    loop->quit(0);
  });
  EXPECT_TRUE(order.empty());
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(order, std::vector<int>{1});
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));  // The nested task is still queued.

  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  loop->post([token = std::move(token), &order] { order.push_back(3); });
  loop.reset();
  EXPECT_TRUE(watch.expired());  // Released, never run.
  EXPECT_EQ(order.size(), 2u);
}

}  // namespace
}  // namespace quillmoss
