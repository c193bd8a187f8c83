// A compositor's window list from its events, without a compositor.
#include "linux_desktop/wayland_toplevels.h"

#include <gtest/gtest.h>

namespace quillmoss::desktop {
namespace {

TEST(ToplevelList, ChangesTakeEffectAtDoneAndAClosedWindowLeavesAtOnce) {
  ToplevelList list;
  int changes = 0, a = 0, b = 0;  // the addresses stand for the compositor's handles
  list.onChanged([&] { ++changes; });
  ASSERT_TRUE(list.add(&a) && list.add(&b));
  list.setAppId(&a, "alpha");
  list.setActivated(&a, true);
  list.setAppId(&b, "dialog");
  list.setParent(&b, &a);
  EXPECT_FALSE(list.toplevels()[0].activated);  // nothing done yet
  list.done(&a);
  list.done(&b);
  EXPECT_TRUE(list.toplevels()[0].activated);
  EXPECT_EQ(list.toplevels()[1].parent, 0u);
  list.closed(&a);  // the window in front closes without being deactivated first
  list.closed(&a);  // an unknown handle changes nothing
  EXPECT_EQ(changes, 3);
  ASSERT_EQ(list.toplevels().size(), 1u);
  EXPECT_EQ(list.toplevels()[0].appId, "dialog");
  EXPECT_EQ(list.toplevels()[0].parent, std::nullopt);
}

}  // namespace
}  // namespace quillmoss::desktop
