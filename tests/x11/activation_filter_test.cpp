// Activations from active-window and screen-saver changes, with a hand-driven timer loop.
#include "platform/x11/activation_filter.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quillmoss::tracker {
namespace {

class ManualLoop : public RunLoop {
 public:
  TimerId scheduleRepeating(double, Callback) override { return 0; }
  TimerId scheduleOnce(double delay, Callback callback) override {
    timers_[++next_] = {now_ + delay, std::move(callback)};
    return next_;
  }
  void cancel(TimerId id) override { timers_.erase(id); }
  void watchReadable(int, Callback) override {}
  void unwatch(int) override {}
  void onTerminationSignal(std::function<void(int)>) override {}
  int run() override { return 0; }
  void quit(int) override {}

  void advance(double seconds) {
    now_ += seconds;
    for (auto it = timers_.begin(); it != timers_.end();) {
      if (it->second.first <= now_ + 1e-9) {
        auto callback = std::move(it->second.second);
        it = timers_.erase(it);
        callback();
      } else {
        ++it;
      }
    }
  }
  std::size_t pending() const { return timers_.size(); }

 private:
  double now_ = 0.0;
  TimerId next_ = 0;
  std::map<TimerId, std::pair<double, Callback>> timers_;
};

class ActivationFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    filter_.start("A", false);
    filter_.setHandler([this](const std::optional<std::string>& id) { delivered_.push_back(id); });
  }
  ManualLoop loop_;
  ActivationFilter filter_{loop_};
  std::vector<std::optional<std::string>> delivered_;
};

using Deliveries = std::vector<std::optional<std::string>>;

TEST_F(ActivationFilterTest, OneActivationPerChangeOfApplication) {
  EXPECT_EQ(filter_.frontmost(), "A");
  filter_.frontChanged("A");  // another window of the same application
  filter_.frontChanged("B");
  filter_.frontChanged("B");
  filter_.frontChanged("A");
  EXPECT_EQ(delivered_, (Deliveries{"B", "A"}));
  EXPECT_EQ(filter_.frontmost(), "A");
}

TEST_F(ActivationFilterTest, ShortNoneDuringASwitchIsNotDelivered) {
  filter_.noActiveWindow();
  loop_.advance(0.2);
  filter_.windowActivated();  // the next window's identity is still being asked for
  loop_.advance(0.2);
  filter_.frontChanged("B");
  EXPECT_EQ(delivered_, (Deliveries{"B"}));
  EXPECT_EQ(loop_.pending(), 0u);
}

TEST_F(ActivationFilterTest, LastingNoneIsDeliveredOnceAfterTheDebounce) {
  filter_.noActiveWindow();
  loop_.advance(0.24);
  EXPECT_TRUE(delivered_.empty());
  filter_.noActiveWindow();  // a second none does not restart the wait
  loop_.advance(0.02);
  EXPECT_EQ(delivered_, (Deliveries{std::nullopt}));
  EXPECT_EQ(filter_.frontmost(), std::nullopt);
  filter_.frontChanged("A");
  EXPECT_EQ(delivered_, (Deliveries{std::nullopt, "A"}));
}

TEST_F(ActivationFilterTest, AWindowWithoutIdentityIsNoApplicationAtOnce) {
  filter_.frontChanged(std::nullopt);
  EXPECT_EQ(delivered_, (Deliveries{std::nullopt}));
}

TEST_F(ActivationFilterTest, LockHidesTheFrontAndUnlockRestoresTheAppThenInFront) {
  filter_.screenSaverChanged(true);
  EXPECT_EQ(filter_.frontmost(), std::nullopt);
  filter_.frontChanged("B");  // switched behind the lock
  filter_.noActiveWindow();
  filter_.frontChanged("C");
  loop_.advance(1.0);
  filter_.screenSaverChanged(true);
  EXPECT_EQ(delivered_, (Deliveries{std::nullopt}));
  filter_.screenSaverChanged(false);
  EXPECT_EQ(delivered_, (Deliveries{std::nullopt, "C"}));
  EXPECT_EQ(filter_.frontmost(), "C");
}

TEST_F(ActivationFilterTest, LockCancelsAPendingNone) {
  filter_.noActiveWindow();
  filter_.screenSaverChanged(true);
  loop_.advance(1.0);
  filter_.screenSaverChanged(false);  // still no window in front
  EXPECT_EQ(delivered_, (Deliveries{std::nullopt}));
  EXPECT_EQ(loop_.pending(), 0u);
}

TEST(ActivationFilterStart, LockedAtStartReportsNothingUntilUnlocked) {
  ManualLoop loop;
  std::vector<std::optional<std::string>> delivered;
  ActivationFilter filter(loop);
  filter.start("A", true);
  filter.setHandler([&](const std::optional<std::string>& id) { delivered.push_back(id); });
  EXPECT_EQ(filter.frontmost(), std::nullopt);
  filter.screenSaverChanged(false);
  EXPECT_EQ(delivered, (Deliveries{"A"}));
}

TEST(ActivationFilterStart, DestroyingTheFilterCancelsItsTimer) {
  ManualLoop loop;
  {
    ActivationFilter filter(loop);
    filter.start("A", false);
    filter.noActiveWindow();
    EXPECT_EQ(loop.pending(), 1u);
  }
  EXPECT_EQ(loop.pending(), 0u);
}

}  // namespace
}  // namespace quillmoss::tracker
