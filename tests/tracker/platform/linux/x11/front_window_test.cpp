// The window in front from the window manager's answers, in the order they come.
#include "platform/linux/x11/front_window.h"

#include <gtest/gtest.h>

namespace quillmoss::tracker {
namespace {

TEST(FrontWindow, AClosedWindowStillNamedActiveLeavesTheFrontUnlessANewerOneComes) {
  FrontWindow front;
  const auto first = front.activeChanged();
  EXPECT_TRUE(front.activeIs(first, 7));
  EXPECT_FALSE(front.closedByList(first, {7, 8}));
  // Closed, and still named by _NET_ACTIVE_WINDOW (Openbox): no longer in front, and said once.
  EXPECT_TRUE(front.closedByList(first, {8}));
  EXPECT_FALSE(front.closedByList(first, {8}));

  EXPECT_TRUE(front.activeIs(front.activeChanged(), 8));
  const auto listedAt = front.generation();
  const auto newer = front.activeChanged();  // a newer active window is on its way
  EXPECT_FALSE(front.closedByList(listedAt, {}));
  EXPECT_FALSE(front.activeIs(listedAt, 9));  // an answer outdated by it
  EXPECT_TRUE(front.activeIs(newer, 9));
}

}  // namespace
}  // namespace quillmoss::tracker
