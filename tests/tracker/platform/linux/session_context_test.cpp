#include "platform/linux/session_context.h"

#include <gtest/gtest.h>

namespace quillmoss::tracker {
namespace {

struct Link {
  int serial;
};

TEST(SharedLink, OpenedOnceHeldByItsPortsAndNotOpenedAgainOnceSettled) {
  int opened = 0;
  const auto open = [&]() -> Expected<std::shared_ptr<Link>> {
    return std::make_shared<Link>(Link{++opened});
  };
  SharedLink<Link> used, unused, never;
  // Two candidates of the workspace ask: one connection.
  auto port = used.get(false, open);
  ASSERT_TRUE(port);
  EXPECT_EQ((*used.get(false, open))->serial, 1);
  ASSERT_TRUE(unused.get(false, open));  // a candidate that then did not serve
  EXPECT_EQ(opened, 2);

  // The workspace is chosen: its link stays for the idle time, the others close for good.
  used.unpin();
  unused.unpin();
  EXPECT_EQ((*used.get(true, open))->serial, 1);
  EXPECT_FALSE(unused.get(true, open));
  EXPECT_FALSE(never.get(true, open));
  EXPECT_EQ(opened, 2);
}

TEST(SharedLink, AFailureToOpenIsEveryAskersReason) {
  int opened = 0;
  SharedLink<Link> link;
  const auto open = [&]() -> Expected<std::shared_ptr<Link>> {
    ++opened;
    return desktop::cannotServe("no display");
  };
  EXPECT_EQ(link.get(false, open).error().message, "no display");
  EXPECT_EQ(link.get(false, open).error().message, "no display");
  EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace quillmoss::tracker
