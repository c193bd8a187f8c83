// The tracker's side of the day files: where they live, writing them durably (keeping a
// damaged file aside instead of overwriting it) and loading a day.
#pragma once

#include <filesystem>
#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

std::filesystem::path usageURL(const TrackerState& state, const std::string& day);
std::filesystem::path activityURL(const TrackerState& state, const std::string& day);
std::filesystem::path segmentsURL(const TrackerState& state, const std::string& day);

// Each writes one file of the day; the error says why it was not written (the previous file,
// if any, is then untouched).
Status save(TrackerState& state, const daily::UsageMap& usage, const std::string& day);
Status saveActivity(TrackerState& state, const daily::ActivityList& activity,
                    const std::string& day);
Status saveSegments(TrackerState& state, const daily::SegmentList& segments,
                    const std::string& day);

struct DayData {
  daily::UsageMap usage;
  daily::ActivityList activity;
  daily::SegmentList segments;
};

// The day's three files, each empty when missing or unusable. Unusable ones are noted in
// damagedFiles so the next save of that file moves it aside first.
DayData loadDay(TrackerState& state, const std::string& day);

}  // namespace quillmoss::tracker
