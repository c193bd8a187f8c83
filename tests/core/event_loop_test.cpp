// The event loop through the port: timers, descriptors, posted tasks, quitting and signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/event_loop.h"
#include "core/fake/fake_event_loop.h"
#include "posix/unique_fd.h"

namespace quillmoss {
namespace {

using posix::UniqueFd;

// Quits with 99 if a test's condition never comes, so no test hangs.
std::unique_ptr<EventLoop> guardedLoop() {
  auto loop = makeEventLoop();
  loop->scheduleOnce(10.0, [raw = loop.get()] { raw->quit(99); });
  return loop;
}

// Each case's timers append to `events` and quit with 0; `id` outlives the scheduling.
using Schedule = std::function<void(EventLoop&, std::string& events, EventLoop::TimerId& id)>;
const std::tuple<const char*, Schedule, const char*> kTimerCases[] = {
    {"timers due together fire in the order they fell due; a cancelled one never",
     [](EventLoop& loop, std::string& events, EventLoop::TimerId& cancelled) {
       cancelled = loop.scheduleOnce(0.030, [&] { events += 'x'; });
       loop.scheduleRepeating(0.010, [&] {
         events += 'r';
         if (events.size() == 6) loop.quit(0);
       });
       loop.scheduleOnce(0.001, [&] {
         events += 'a';
         loop.cancel(cancelled);
       });
     },
     "arrrrr"},
    {"a repeating timer stops when cancelled from its own callback; ids never issued or "
     "cancelled before firing are harmless",
     [](EventLoop& loop, std::string& events, EventLoop::TimerId& id) {
       id = loop.scheduleRepeating(0.002, [&] {
         events += 'r';
         if (events.size() == 3) {
           loop.cancel(id);
           loop.scheduleOnce(0.02, [&] { loop.quit(0); });  // Room for a misfire.
         }
       });
       loop.cancel(loop.scheduleRepeating(0.001, [&] { events += 'x'; }));
       loop.cancel(12345);
     },
     "rrr"},
    {"out-of-range periods are clamped, never disarmed; a zero delay fires",
     [](EventLoop& loop, std::string& events, EventLoop::TimerId&) {
       EXPECT_NE(loop.scheduleRepeating(1e300, [&] { events += 'x'; }), 0u);
       loop.scheduleRepeating(0.0, [&] {
         events += 'z';
         loop.scheduleOnce(0.0, [&] {
           events += 'o';
           loop.quit(0);
         });
       });
     },
     "zo"},
    {"a repeating timer that missed periods while the loop was held fires once",
     [](EventLoop& loop, std::string& events, EventLoop::TimerId&) {
       loop.scheduleRepeating(0.002, [&] {
         if (events.empty()) return;
         events += 'r';
         loop.quit(0);
       });
       loop.scheduleOnce(0.001, [&] {
         // Hold the loop for ten periods, as a suspension would.
         const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
         while (std::chrono::steady_clock::now() < until) {
         }
         events += 'h';
       });
     },
     "hr"},
};

TEST(EventLoop, Timers) {
  for (const auto& [behaviour, schedule, expected] : kTimerCases) {
    auto loop = guardedLoop();
    std::string events;
    EventLoop::TimerId id = 0;
    schedule(*loop, events, id);
    EXPECT_EQ(loop->run(), 0) << behaviour;
    EXPECT_EQ(events, expected) << behaviour;
  }
}

TEST(EventLoop, TheTestDoubleBoundsTimesAsTheRealLoopsDo) {
  testing::FakeEventLoop loop;
  int zero = 0, notANumber = 0, past = 0, never = 0;
  loop.scheduleRepeating(0.0, [&] { ++zero; });
  loop.scheduleRepeating(std::nan(""), [&] { ++notANumber; });
  loop.scheduleOnce(-5.0, [&] { ++past; });
  loop.scheduleOnce(INFINITY, [&] { ++never; });
  loop.advance(0.0105);
  EXPECT_EQ(zero, 10);
  EXPECT_EQ(notANumber, 10);
  EXPECT_EQ(past, 1);
  EXPECT_EQ(never, 0);
}

TEST(EventLoop, TasksPostedFromManyThreadsAllRunOnTheLoopInPostingOrderPerThread) {
  auto loop = guardedLoop();
  constexpr int kThreads = 4;
  constexpr int kTasks = 2000;
  std::vector<int> next(kThreads, 0);  // Only ever touched on the loop thread.
  int remaining = kThreads * kTasks;
  bool allOnLoop = true, inOrder = true;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kTasks; ++i) {
        loop->post([&, t, i] {
          allOnLoop = allOnLoop && loop->onLoopThread();
          inOrder = inOrder && next[t]++ == i;
          if (--remaining == 0) loop->quit(0);
        });
      }
    });
  }
  EXPECT_EQ(loop->run(), 0);
  for (auto& poster : posters) poster.join();
  EXPECT_TRUE(allOnLoop);
  EXPECT_TRUE(inOrder);
}

TEST(EventLoop, TasksRunLaterNotInsidePostAndThoseLeftAtQuitRunOnTheNextRun) {
  auto loop = makeEventLoop();
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

// After a final save nothing may touch the state: whatever else is ready in the turn waits
// for the next run().
TEST(EventLoop, NothingElseOfTheTurnRunsAfterQuit) {
  auto loop = guardedLoop();
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  UniqueFd a(fds[0]), b(fds[1]);
  ASSERT_EQ(::write(b.get(), "x", 1), 1);  // `a` is readable and writable from the start.
  std::string events;
  const auto quitAfter = [&](char event) {
    events += event;
    loop->quit(0);
  };
  loop->scheduleOnce(0.0, [&] { quitAfter('t'); });
  loop->scheduleOnce(0.0, [&] { quitAfter('u'); });
  loop->post([&] { quitAfter('p'); });
  loop->watchReadable(a.get(), [&] {
    loop->unwatchReadable(a.get());
    quitAfter('r');
  });
  loop->watchWritable(a.get(), [&] {
    loop->unwatchWritable(a.get());
    quitAfter('w');
  });
  for (std::size_t run = 1; run <= 5; ++run) {
    EXPECT_EQ(loop->run(), 0);
    EXPECT_EQ(events.size(), run) << events;
  }
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, "prtuw");
}

// The tests' loop keeps the same promise.
TEST(FakeEventLoop, NothingElseRunsAfterQuit) {
  testing::FakeEventLoop loop;
  std::string events;
  loop.onTerminationSignal([&](int) { events += 's'; });
  loop.post([&] { events += 'a', loop.quit(0); });
  loop.post([&] { events += 'b'; });
  loop.scheduleOnce(1.0, [&] { events += 't'; });
  loop.runPending();
  loop.advance(2.0);
  loop.raise(SIGTERM);
  EXPECT_EQ(events, "a");
}

TEST(EventLoop, QuitFromAnotherThreadAndBeforeRun) {
  auto loop = guardedLoop();
  std::atomic<bool> running{false};
  loop->post([&] { running = true; });
  std::thread quitter([&] {
    while (!running) std::this_thread::yield();
    loop->quit(7);
  });
  EXPECT_EQ(loop->run(), 7);
  quitter.join();

  loop->quit(3);
  EXPECT_EQ(loop->run(), 3);  // Returns at once.
}

TEST(EventLoop, WatchesOnOneDescriptorAreIndependentAndSeeDataFromOtherThreads) {
  auto loop = guardedLoop();
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  UniqueFd a(fds[0]), b(fds[1]);
  ASSERT_EQ(::fcntl(a.get(), F_SETFL, O_NONBLOCK), 0);
  int writable = 0;
  std::string received;
  std::thread writer;
  loop->watchReadable(a.get(), [&] {
    char buffer[16];
    const auto got = ::read(a.get(), buffer, sizeof buffer);
    if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
    if (received == "ping") {
      loop->unwatch(a.get());
      loop->quit(0);
    }
  });
  loop->watchWritable(a.get(), [&] {
    ++writable;
    loop->unwatchWritable(a.get());  // The readable watch stays.
    writer = std::thread([&] { ASSERT_EQ(::write(b.get(), "ping", 4), 4); });
  });
  EXPECT_EQ(loop->run(), 0);
  if (writer.joinable()) writer.join();
  EXPECT_EQ(writable, 1);
  EXPECT_EQ(received, "ping");
}

#ifdef __linux__
// The port asks for an unwatch before the close; the Linux loop survives one forgotten.
TEST(EventLoop, DescriptorClosedWhileWatchedIsDroppedNotSpunOn) {
  auto loop = guardedLoop();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  UniqueFd read(fds[0]), write(fds[1]);
  // Scheduled first so that its descriptor cannot take the closed pipe's number.
  loop->scheduleOnce(0.01, [&] { loop->quit(0); });
  int calls = 0;
  loop->watchReadable(read.get(), [&] { ++calls; });
  read.reset();
  write.reset();
  EXPECT_EQ(loop->run(), 0);
  EXPECT_EQ(calls, 0);
}
#endif

TEST(EventLoop, TerminationSignalsArriveAsLoopEventsOrEndAnUnhandledLoop) {
  auto unhandled = guardedLoop();
  unhandled->post([] { ::raise(SIGTERM); });
  EXPECT_EQ(unhandled->run(), 128 + SIGTERM);
  unhandled.reset();

  auto loop = guardedLoop();
  std::vector<int> signals;
  bool inTimer = false;
  loop->onTerminationSignal([&](int signal) {
    EXPECT_FALSE(inTimer);
    signals.push_back(signal);
    if (signals.size() == 2) loop->quit(0);
  });
  loop->scheduleOnce(0.001, [&] {
    inTimer = true;
    // Held back by the loop, so they wait for it instead of ending the process.
    ::raise(SIGTERM);
    ::raise(SIGINT);
    inTimer = false;
  });
  EXPECT_EQ(loop->run(), 0);
  std::sort(signals.begin(), signals.end());  // Signals pending together have no order.
  EXPECT_EQ(signals, (std::vector<int>{SIGINT, SIGTERM}));
}

}  // namespace
}  // namespace quillmoss
