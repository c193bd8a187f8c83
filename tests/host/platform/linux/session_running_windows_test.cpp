// The host's chooser of running-window mechanisms, over a table of stand-ins.
#include "platform/linux/session_running_windows.h"

#include <gtest/gtest.h>

#include <string>

#include "core/fake/fake_event_loop.h"

namespace quillmoss::host {
namespace {

// What each stand-in mechanism can do now, and how often it was made.
struct Mechanism {
  bool makes = false, lists = false;
  int made = 0;
};
Mechanism mechanisms[3];

struct Lister : RunningWindows {
  explicit Lister(int row) : row(row) {}
  std::optional<std::vector<desktop::RunningWindow>> list() override {
    if (!mechanisms[row].lists) return std::nullopt;
    return std::vector<desktop::RunningWindow>{{std::to_string(row), "", 0, 0, {}, {}}};
  }
  int row;
};

template <int Row>
WindowsMade make(WindowsContext&) {
  if (!mechanisms[Row].makes) return desktop::cannotServe("not here");
  ++mechanisms[Row].made;
  return std::unique_ptr<RunningWindows>(std::make_unique<Lister>(Row));
}

constexpr WindowsCandidate kTable[] = {{"a", make<0>}, {"b", make<1>}, {"c", make<2>}};

std::string listedBy(SessionRunningWindows& running) {
  const auto windows = running.list();
  if (!windows) return "nullopt";
  return windows->empty() ? "none" : windows->front().identity;
}

TEST(SessionRunningWindows, AskedInOrderOnEveryCallKeepingWhatServesAndMakingItAgainOnce) {
  testing::FakeEventLoop loop;
  XdgInstalledApplications installed(std::vector<std::filesystem::path>{});
  SessionRunningWindows running(loop, installed, {}, kTable);
  const struct {
    const char* step;
    Mechanism a, b;
    std::string listed;
    int aMade, bMade;
  } steps[] = {
      {"nothing serves: an empty list", {}, {}, "none", 0, 0},
      {"the first that lists wins", {true, false}, {true, true}, "1", 1, 1},
      {"what served is kept; one above that cannot list is made again",
       {true, false},
       {true, true},
       "1",
       2,
       1},
      {"one above that lists takes over", {true, true}, {true, true}, "0", 3, 1},
      {"kept and listing: not made again", {true, true}, {true, true}, "0", 3, 1},
      {"gone: made again once before the next is asked", {true, false}, {true, true}, "1", 4, 1},
  };
  for (const auto& step : steps) {
    mechanisms[0] = {step.a.makes, step.a.lists, mechanisms[0].made};
    mechanisms[1] = {step.b.makes, step.b.lists, mechanisms[1].made};
    EXPECT_EQ(listedBy(running), step.listed) << step.step;
    EXPECT_EQ(mechanisms[0].made, step.aMade) << step.step;
    EXPECT_EQ(mechanisms[1].made, step.bMade) << step.step;
  }
}

}  // namespace
}  // namespace quillmoss::host
