// One day as the report draws it, built from the usage channel's answers: applications sorted
// by time with their browser domains beneath, timeline lanes and the activity band.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/encodable_value.h"

namespace quillmoss::report {

// Rows beyond these are summed into one row, so names, icons and the page stay bounded.
inline constexpr std::size_t kMaxApplications = 60;
inline constexpr std::size_t kMaxDomainsPerApplication = 25;
// Timeline pieces closer than this share of the axis are drawn as one.
inline constexpr double kTimelineResolution = 1.0 / 2000;
// Pieces drawn in all lanes together; past it pieces are merged at coarser steps, so the page
// stays bounded however the day's segments are spread.
inline constexpr std::size_t kMaxTimelinePieces = 20'000;

struct Interval {
  double start = 0;
  double end = 0;
};

struct Row {
  std::string key;                    // the usage key; empty for the row of folded keys
  std::size_t foldedKeys = 0;         // keys summed into this row when it stands for the rest
  std::optional<std::string> name;    // as "getAppName" answered
  std::vector<std::uint8_t> iconPng;  // as "getAppIcon" answered; empty when nil
  double seconds = 0;                 // the key's own seconds plus its domains'
  double share = 0;                   // of the day's total, 0 to 1
  std::vector<Interval> lane;         // merged segments of the key and its domains
  std::vector<Row> domains;           // "key#domain" rows of a browser
};

struct DayReport {
  std::string day;
  std::string notice;  // why the report is empty, or what was skipped; empty when nothing
  double total = 0;
  std::vector<Row> applications;
  std::vector<Interval> activity;
  Interval axis;  // the timeline's span; start == end when there is nothing to draw
  std::size_t droppedEntries = 0;  // segments and intervals of an unexpected shape
};

// The three day answers ("getUsage" map, "getActivity" and "getSegments" lists) as a report
// without names or icons. Values of another shape count as empty; entries of another shape
// are dropped and counted.
DayReport buildDayReport(const std::string& day, const engine::EncodableValue& usage,
                         const engine::EncodableValue& activity,
                         const engine::EncodableValue& segments);

// An empty report for the day that says why.
DayReport emptyDayReport(const std::string& day, const std::string& notice);

// Every row, domains included, in page order; for filling in names and icons.
std::vector<Row*> allRows(DayReport& report);

}  // namespace quillmoss::report
