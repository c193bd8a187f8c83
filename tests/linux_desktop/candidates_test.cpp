#include "linux_desktop/candidates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillmoss::testing {
namespace {

using desktop::Candidate;

struct Port {
  std::string name;
};

// Which candidates serve, and the order they were asked in.
struct Context {
  std::vector<std::string> serving;
  std::vector<std::string> asked;
};

template <int N>
Expected<std::unique_ptr<Port>> make(Context& context) {
  static const char* const kNames[] = {"wayland-a", "wayland-b", "x11"};
  const std::string name = kNames[N];
  context.asked.push_back(name);
  for (const std::string& serving : context.serving) {
    if (serving == name) return std::make_unique<Port>(Port{name});
  }
  // The two Wayland candidates cannot reach the same display: the same reason.
  return desktop::cannotServe(N < 2 ? "no Wayland display" : "no X display");
}

constexpr std::array<Candidate<Port, Context>, 3> kTable{{
    {"wayland-a", make<0>},
    {"wayland-b", make<1>},
    {"x11", make<2>},
}};

TEST(Candidates, FirstServingWinsAndLaterOnesAreNotAsked) {
  const struct {
    std::vector<std::string> serving;
    std::string chosen;
    std::vector<std::string> asked;
  } cases[] = {
      {{"wayland-a", "x11"}, "wayland-a", {"wayland-a"}},
      {{"wayland-b", "x11"}, "wayland-b", {"wayland-a", "wayland-b"}},
      {{"x11"}, "x11", {"wayland-a", "wayland-b", "x11"}},
  };
  for (const auto& c : cases) {
    Context context{c.serving, {}};
    auto port = desktop::firstServing(kTable, context, "no session");
    ASSERT_TRUE(port);
    EXPECT_EQ((*port)->name, c.chosen);
    EXPECT_EQ(context.asked, c.asked);
  }
}

TEST(Candidates, NoneServingSaysEveryReasonOnceInTableOrder) {
  Context context;
  auto port = desktop::firstServing(kTable, context, "no session");
  ASSERT_FALSE(port);
  EXPECT_EQ(port.error().message,
            "no session: wayland-a, wayland-b: no Wayland display; x11: no X display");
  EXPECT_EQ(port.error().domain, desktop::kDesktopErrorDomain);
}

}  // namespace
}  // namespace quillmoss::testing
