// A heavy day for the host's benchmarks: 2,000 applications in the usage file and 20,000
// segments, written into a data folder.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>

#include "daily_data/daily_data.h"

namespace quillmoss::bench {

inline void writeHeavyDay(const std::filesystem::path& dataDir, std::string_view day) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> seconds(1.0, 5000.0);
  daily::UsageMap usage;
  for (int i = 0; i < 2000; ++i) usage["com.example.app" + std::to_string(i)] = seconds(random);
  daily::SegmentList segments;
  double t = 1765000000.0;
  for (int i = 0; i < 20000; ++i) {
    const double end = t + seconds(random) / 100.0;
    segments.push_back({daily::JsonValue("com.example.app" + std::to_string(i % 2000)),
                        daily::JsonValue(t), daily::JsonValue(end)});
    t = end + 61.0;
  }
  daily::writeFileAtomically(dataDir / daily::fileName(daily::FileKind::Usage, day),
                             *daily::serializeUsage(usage));
  daily::writeFileAtomically(dataDir / daily::fileName(daily::FileKind::Segments, day),
                             *daily::serializeSegments(segments));
}

}  // namespace quillmoss::bench
