// Heavy days for the host's benchmarks: usage keys and segments written into a data folder as
// the tracker writes them (2,000 keys and 20,000 segments unless told otherwise).
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>

#include "daily_data/daily_data.h"

namespace quillmoss::bench {

// False when a file could not be written.
inline bool writeHeavyDay(const std::filesystem::path& dataDir, std::string_view day,
                          int segmentCount = 20000, int keyCount = 2000) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> seconds(1.0, 5000.0);
  daily::UsageMap usage;
  for (int i = 0; i < keyCount; ++i) usage["com.example.app" + std::to_string(i)] = seconds(random);
  daily::SegmentList segments;
  daily::ActivityList activity;
  double t = 1765000000.0;
  for (int i = 0; i < segmentCount; ++i) {
    const double end = t + seconds(random) / 100.0;
    segments.push_back({daily::JsonValue("com.example.app" + std::to_string(i % keyCount)),
                        daily::JsonValue(t), daily::JsonValue(end)});
    if (i % 10 == 0) activity.push_back({t, end});
    t = end + 61.0;
  }
  return daily::writeFileAtomically(dataDir / daily::fileName(daily::FileKind::Usage, day),
                                    *daily::serializeUsage(usage)) &&
         daily::writeFileAtomically(dataDir / daily::fileName(daily::FileKind::Activity, day),
                                    *daily::serializeActivity(activity)) &&
         daily::writeFileAtomically(dataDir / daily::fileName(daily::FileKind::Segments, day),
                                    *daily::serializeSegments(segments));
}

}  // namespace quillmoss::bench
