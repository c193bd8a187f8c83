// Activations from active-window and screen-saver changes, with a hand-driven timer loop.
#include "platform/x11/activation_filter.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quillmoss::tracker {
namespace {

using Deliveries = std::vector<std::optional<std::string>>;

// One-shot timers only, fired as advance() moves the time.
class ManualLoop : public RunLoop {
 public:
  TimerId scheduleRepeating(double, Callback) override { return 0; }
  TimerId scheduleOnce(double delay, Callback callback) override {
    timers[++next_] = {now_ + delay, std::move(callback)};
    return next_;
  }
  void cancel(TimerId id) override { timers.erase(id); }
  void watchReadable(int, Callback) override {}
  void unwatch(int) override {}
  void onTerminationSignal(std::function<void(int)>) override {}
  int run() override { return 0; }
  void quit(int) override {}

  void advance(double seconds) {
    now_ += seconds;
    for (auto it = timers.begin(); it != timers.end();) {
      if (it->second.first > now_ + 1e-9) {
        ++it;
        continue;
      }
      auto callback = std::move(it->second.second);
      it = timers.erase(it);
      callback();
    }
  }
  std::map<TimerId, std::pair<double, Callback>> timers;

 private:
  double now_ = 0.0;
  TimerId next_ = 0;
};

class ActivationFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    filter.start("A", false);
    filter.setHandler([this](const std::optional<std::string>& id) { delivered.push_back(id); });
  }

  ManualLoop loop;
  ActivationFilter filter{loop};
  Deliveries delivered;
};

TEST_F(ActivationFilterTest, OneActivationPerChangeOfApplication) {
  EXPECT_EQ(filter.frontmost(), "A");
  filter.frontChanged("A");  // another window of the same application
  filter.frontChanged("B");
  filter.frontChanged("B");
  filter.frontChanged("A");
  // A window without identity is no application, at once.
  filter.frontChanged(std::nullopt);
  EXPECT_EQ(delivered, (Deliveries{"B", "A", std::nullopt}));
  EXPECT_EQ(filter.frontmost(), std::nullopt);
}

TEST_F(ActivationFilterTest, ShortNoneDuringASwitchIsNotDelivered) {
  filter.noActiveWindow();
  loop.advance(0.2);
  filter.windowActivated();  // the next window's identity is still being asked for
  loop.advance(0.2);
  filter.frontChanged("B");
  EXPECT_EQ(delivered, (Deliveries{"B"}));
  EXPECT_TRUE(loop.timers.empty());
}

TEST_F(ActivationFilterTest, LastingNoneIsDeliveredOnceAfterTheDebounce) {
  filter.noActiveWindow();
  loop.advance(0.24);
  EXPECT_TRUE(delivered.empty());
  filter.noActiveWindow();  // a second none does not restart the wait
  loop.advance(0.02);
  EXPECT_EQ(delivered, (Deliveries{std::nullopt}));
  EXPECT_EQ(filter.frontmost(), std::nullopt);
  filter.frontChanged("A");
  EXPECT_EQ(delivered, (Deliveries{std::nullopt, "A"}));
}

TEST_F(ActivationFilterTest, LockHidesTheFrontAndUnlockRestoresTheAppThenInFront) {
  filter.screenSaverChanged(true);
  EXPECT_EQ(filter.frontmost(), std::nullopt);
  filter.frontChanged("B");  // switched behind the lock
  filter.noActiveWindow();
  filter.frontChanged("C");
  loop.advance(1.0);
  filter.screenSaverChanged(true);
  EXPECT_EQ(delivered, (Deliveries{std::nullopt}));
  filter.screenSaverChanged(false);
  EXPECT_EQ(delivered, (Deliveries{std::nullopt, "C"}));
  EXPECT_EQ(filter.frontmost(), "C");
}

TEST_F(ActivationFilterTest, LockCancelsAPendingNoneAndDestroyingTheFilterItsTimer) {
  filter.noActiveWindow();
  filter.screenSaverChanged(true);
  loop.advance(1.0);
  filter.screenSaverChanged(false);  // still no window in front
  EXPECT_EQ(delivered, (Deliveries{std::nullopt}));
  EXPECT_TRUE(loop.timers.empty());
  {
    ActivationFilter other(loop);
    other.start("A", false);
    other.noActiveWindow();
    EXPECT_EQ(loop.timers.size(), 1u);
  }
  EXPECT_TRUE(loop.timers.empty());
}

using ActivationFilterStart = ActivationFilterTest;

TEST_F(ActivationFilterStart, LockedAtStartReportsNothingUntilUnlocked) {
  ActivationFilter locked(loop);
  locked.start("A", true);
  locked.setHandler([this](const std::optional<std::string>& id) { delivered.push_back(id); });
  EXPECT_EQ(locked.frontmost(), std::nullopt);
  locked.screenSaverChanged(false);
  EXPECT_EQ(delivered, (Deliveries{"A"}));
}

}  // namespace
}  // namespace quillmoss::tracker
