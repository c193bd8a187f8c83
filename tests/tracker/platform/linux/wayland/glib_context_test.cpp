// GLib's context on a hand-driven loop: its timeouts become the loop's timers; runUntil() ends.
#include "linux_desktop/glib_context.h"

#include <gtest/gtest.h>

#include <map>

#include "core/fake/fake_event_loop.h"
#include "platform/linux/wayland/idle_estimate.h"

namespace quillmoss::tracker {
namespace {

using desktop::GlibContext;

// The fake loop, with the descriptor watchers that GLib's context asks for.
class ManualLoop : public testing::FakeEventLoop {
 public:
  void watchReadable(int fd, Callback callback) override { watchers[fd] = std::move(callback); }
  void unwatchReadable(int fd) override { watchers.erase(fd); }

  std::map<int, Callback> watchers;
};

gboolean countCall(gpointer count) {
  ++*static_cast<int*>(count);
  return G_SOURCE_REMOVE;
}

void attach(GSource* source, GMainContext* context, int* count) {
  g_source_set_callback(source, countCall, count, nullptr);
  g_source_attach(source, context);
  g_source_unref(source);
}

// Asks to be looked at again in 1.5 s, ready when the test says (GLib's timeouts read real time).
struct DueSource {
  GSource base;
  bool due;
};
GSourceFuncs dueFuncs = {
    [](GSource* source, gint* timeout) -> gboolean {
      *timeout = 1500;
      return reinterpret_cast<DueSource*>(source)->due;
    },
    [](GSource* source) -> gboolean { return reinterpret_cast<DueSource*>(source)->due; },
    [](GSource*, GSourceFunc callback, gpointer data) -> gboolean { return callback(data); },
    nullptr,
    nullptr,
    nullptr};

TEST(GlibContext, TheContextsTimeoutIsOneOfTheLoopsTimersAndRunUntilEnds) {
  ManualLoop loop;
  GlibContext glib(loop);
  int fired = 0;
  GSource* source = g_source_new(&dueFuncs, sizeof(DueSource));
  auto* due = reinterpret_cast<DueSource*>(source);
  due->due = false;
  g_source_ref(source);
  attach(source, glib.context(), &fired);
  glib.refresh();
  loop.advance(0.0);  // the refresh itself
  ASSERT_EQ(loop.timers.size(), 1u);
  EXPECT_DOUBLE_EQ(loop.timers.begin()->second.deadline - loop.time, 1.5);
  loop.advance(1.5);
  EXPECT_EQ(fired, 0);
  due->due = true;
  loop.advance(1.5);
  EXPECT_EQ(fired, 1);
  g_source_unref(source);
  // Nothing left to wait for: no timer, only the context's wake-up descriptor.
  EXPECT_TRUE(loop.timers.empty());
  EXPECT_EQ(loop.watchers.size(), 1u);

  attach(g_idle_source_new(), glib.context(), &fired);
  EXPECT_TRUE(glib.runUntil([&] { return fired == 2; }, 1000));
  EXPECT_FALSE(glib.runUntil([] { return false; }, 0));
}

TEST(IdleEstimate, CountsFromTheInputBeforeTheNotice) {
  constexpr double n = IdleEstimate::kNoticeSeconds;
  const std::tuple<char, double, double> steps[] = {
      // 'i' idled, 'r' resumed, '-' nothing
      {'-', 100.0, 0.0},        // input lately (within the notice time): present
      {'i', 100.0, n},          // no input for n seconds
      {'-', 400.0, 300.0 + n},  // and for 300 s more
      {'r', 401.0, 0.0},        // input again
      {'i', 410.0, n},          // and idle again
  };
  IdleEstimate idle;
  for (const auto& [event, at, expected] : steps) {
    if (event == 'i') idle.idled(at);
    if (event == 'r') idle.resumed();
    EXPECT_DOUBLE_EQ(idle.secondsSinceLastInput(at), expected) << at;
  }
}

}  // namespace
}  // namespace quillmoss::tracker
