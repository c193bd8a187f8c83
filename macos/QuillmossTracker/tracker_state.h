// The daemon's whole state: its constants, the day held in memory and the platform it runs
// on. One plain aggregate, created by main (or by a test) and handed to the free functions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "daily_data/daily_data.h"
#include "platform/clock.h"
#include "platform/frontmost_app.h"
#include "platform/idle.h"
#include "platform/scripting.h"
#include "platform/tab_addresses.h"

namespace quillmoss::tracker {

// A finished day whose files could not all be written at the change of day. It stays in
// memory and is written again at each later flush tick until every file is on disk.
struct PendingDay {
  std::string day{};
  daily::UsageMap usage{};
  daily::ActivityList activity{};
  daily::SegmentList segments{};
  bool usageUnsaved = false;
  bool activityUnsaved = false;
  bool segmentsUnsaved = false;
};

struct TrackerState {
  // The platform the tracker runs on; owned by whoever built the state.
  Clock& clock;
  IdleSource& idle;
  Workspace& workspace;
  ScriptRunner& scripts;
  EventLoop& loop;
  // Browsers whose tab is asked without waiting (on Linux, over the accessibility bus); none
  // where every browser is scripted.
  TabAddresses* tabAddresses = nullptr;

  const std::filesystem::path kDataDir;
  const double kSegmentMergeGap = 60.0;
  const double kIdleThreshold = 300.0;
  const double kActivityMergeGap = 600.0;
  const std::map<std::string, std::string> kBrowserTabScripts = {
      {"com.google.Chrome",
       "tell application id \"com.google.Chrome\" to if (count of windows) > 0 then get URL of "
       "active tab of front window"},
      {"com.apple.Safari",
       "tell application id \"com.apple.Safari\" to if (count of windows) > 0 then get URL of "
       "front document"},
  };
  const double kTabSampleInterval = 5.0;
  std::set<std::string> appleEventsDenied{};
  const std::set<std::string> kExcludedBundles = {"com.apple.loginwindow"};
  const double kFlushInterval = 30.0;
  // The two clocks behind the suspension reading are read one after the other, so their
  // difference wobbles by microseconds; growth below this is not a suspension.
  const double kSuspensionNoise = 0.01;
  // A stretch that held more suspension than this is not reported as a usage segment.
  const double kMaxSuspensionInSegment = 2.0;

  std::string currentDay{};
  daily::UsageMap usageData{};
  daily::ActivityList activityIntervals{};
  daily::SegmentList segmentSpans{};
  std::optional<std::string> activeBundle{};
  // Counts the changes of activeBundle by an activation or a tab sample: an answer that comes
  // later applies only if none happened since it was asked for.
  std::uint64_t keyChanges = 0;
  double lastSwitch = 0.0;
  // Clock::suspendedSeconds() read together with lastSwitch.
  double suspendedAtLastSwitch = 0.0;
  // Clock::awakeSeconds() read together with lastSwitch.
  double awakeAtLastSwitch = 0.0;
  EventLoop::TimerId flushTimer = 0;
  EventLoop::TimerId tabTimer = 0;

  // Day files that existed but could not be used when loaded; each is moved aside before
  // the first save that would replace it.
  std::set<std::filesystem::path> damagedFiles{};
  // Finished days still waiting to be written, oldest first.
  std::vector<PendingDay> pendingDays{};
  // Held for the life of the process so that a second daemon cannot write the same days;
  // taken again before a write when the folder was made or deleted after start-up.
  std::optional<daily::DayLock> dayLock{};
  // Another daemon took the folder's lock while ours was gone; this one writes no more and
  // its run loop ends with status 1.
  bool gaveWay = false;
  // Why the final saves could not be made, told on the way out: the status stays 0 for launchd.
  std::optional<Error> unsavedAtExit{};
  // Set once the final saves are made; later termination requests are ignored.
  bool terminated = false;
};

}  // namespace quillmoss::tracker
