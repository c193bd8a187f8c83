// The window in front from the window manager's answers, in the order they come.
#include "platform/linux/x11/active_window.h"

#include <gtest/gtest.h>

namespace quillmoss::tracker {
namespace {

TEST(ActiveWindow, AClosedWindowStillNamedActiveLeavesTheFrontUnlessANewerOneComes) {
  ActiveWindow front;
  const auto first = front.activeChanged();
  EXPECT_TRUE(front.activeIs(first, 7));
  EXPECT_FALSE(front.closedByList(first, {7, 8}));
  // Closed, and still named by _NET_ACTIVE_WINDOW (Openbox): out of the front, and said once.
  EXPECT_TRUE(front.closedByList(first, {8}));
  EXPECT_FALSE(front.closedByList(first, {8}));
  EXPECT_TRUE(front.activeIs(front.activeChanged(), 8));
  const auto listedAt = front.generation();
  front.activeChanged();  // a newer active window is on its way: older answers say nothing
  EXPECT_FALSE(front.closedByList(listedAt, {}));
  EXPECT_FALSE(front.activeIs(listedAt, 9));
}

}  // namespace
}  // namespace quillmoss::tracker
