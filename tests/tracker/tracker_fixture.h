// A fresh tracker over the test doubles and a private data folder, per test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "startup.h"
#include "support/temp_dir.h"
#include "tracker_state.h"

namespace quillmoss::tracker::testing {

using quillmoss::testing::readBytes;
using quillmoss::testing::writeBytes;

inline constexpr double kMorning = 1796551200.0;         // 2026-12-06 10:00:00 UTC
inline constexpr double kBeforeMidnight = 1796601585.0;  // 2026-12-06 23:59:45 UTC
inline constexpr const char* kToday = "2026-12-06";
inline constexpr const char* kChrome = "com.google.Chrome";
inline constexpr const char* kSafari = "com.apple.Safari";
inline constexpr const char* kEditor = "org.example.editor";
inline constexpr const char* kTerminal = "org.example.terminal";
inline constexpr const char* kLoginWindow = "com.apple.loginwindow";

class TrackerTest : public ::testing::Test, protected FakePlatform {
 protected:
  TrackerTest() { clock.wall = kMorning; }

  TrackerState& makeState() {
    state.reset(new TrackerState{clock, idle, workspace, scripts, loop, nullptr, dataDir});
    return *state;
  }
  TrackerState& makeRunning() {  // a started tracker timing the editor
    workspace.frontmost = kEditor;
    EXPECT_TRUE(startTracker(makeState()));
    return *state;
  }

  std::filesystem::path file(const std::string& prefix, const std::string& day) const {
    return dataDir / (prefix + day + ".json");
  }
  // Names in the data folder other than the lock file.
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dataDir, error)) {
      if (entry.path().filename() != ".tracker.lock") names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  quillmoss::testing::TempDir root{"/dev/shm"};
  std::filesystem::path dataDir = root.path() / "com.velbrook.quillmoss" / "usage";
  std::unique_ptr<TrackerState> state;  // last, so that its lock goes before its folder
};

}  // namespace quillmoss::tracker::testing
