// Activations from active-window and screen-saver changes, with a hand-driven timer loop.
#include "platform/linux/activation_filter.h"

#include <gtest/gtest.h>

#include "core/fake/fake_event_loop.h"

#include <vector>

namespace quillmoss::tracker {
namespace {

using Deliveries = std::vector<std::optional<std::string>>;

class ActivationFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    filter.start("A", false);
    filter.setHandler([this](const std::optional<std::string>& id) { delivered.push_back(id); });
  }

  quillmoss::testing::FakeEventLoop loop;
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

TEST_F(ActivationFilterTest, NoneIsDeliveredOnceAfterTheDebounceUnlessAWindowComes) {
  filter.noActiveWindow();
  loop.advance(0.2);
  filter.windowActivated();  // the next window's identity is still being asked for
  loop.advance(0.2);
  filter.frontChanged("B");
  EXPECT_TRUE(loop.timers.empty());
  filter.noActiveWindow();
  loop.advance(0.24);
  EXPECT_EQ(delivered, (Deliveries{"B"}));
  filter.noActiveWindow();  // a second none does not restart the wait
  loop.advance(0.02);
  EXPECT_EQ(delivered, (Deliveries{"B", std::nullopt}));
  EXPECT_EQ(filter.frontmost(), std::nullopt);
  filter.frontChanged("A");
  EXPECT_EQ(delivered, (Deliveries{"B", std::nullopt, "A"}));
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

TEST_F(ActivationFilterTest, LockedAtStartReportsNothingUntilUnlocked) {
  filter.start("A", true);
  EXPECT_EQ(filter.frontmost(), std::nullopt);
  filter.screenSaverChanged(false);
  EXPECT_EQ(delivered, (Deliveries{"A"}));
}

}  // namespace
}  // namespace quillmoss::tracker
