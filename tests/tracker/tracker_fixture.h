// A fresh tracker over the test doubles and a private data folder, per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "tracker_state.h"

namespace quillmoss::tracker::testing {

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
  TrackerTest() {
    // Memory-backed when available: a simulated day makes thousands of durable writes.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    root = base / ("tracker-test-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root);
    dataDir = root / "com.velbrook.quillmoss" / "usage";
    clock.wall = kMorning;
  }
  ~TrackerTest() override {
    state.reset();
    std::filesystem::remove_all(root);
  }

  TrackerState& makeState() {
    state.reset(new TrackerState{clock, idle, workspace, scripts, loop, dataDir});
    return *state;
  }
  // A state on the clock's day with nothing loaded, timing `key` from now.
  TrackerState& makeRunning(std::optional<std::string> key) {
    TrackerState& s = makeState();
    s.currentDay = clock.dayString(clock.wall);
    s.activeBundle = std::move(key);
    s.lastSwitch = clock.wall;
    s.suspendedAtLastSwitch = clock.suspended;
    s.awakeAtLastSwitch = clock.awakeSeconds();
    return s;
  }

  std::filesystem::path file(const std::string& prefix, const std::string& day) const {
    return dataDir / (prefix + day + ".json");
  }
  static std::string read(const std::filesystem::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }
  static void write(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
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

  std::filesystem::path root;
  std::filesystem::path dataDir;
  std::unique_ptr<TrackerState> state;
};

}  // namespace quillmoss::tracker::testing
