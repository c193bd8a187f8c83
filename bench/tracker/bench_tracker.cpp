// One flush tick (change-of-day check, credit, segment, activity, three durable saves) on a
// heavy day: 20,000 segments, 2,000 usage keys, 3,000 activity intervals.
//   disk:  data folder on the build machine's disk, every save fsynced
//   shm:   data folder in /dev/shm, where fsync costs nothing: the tick without the fsyncs
//   serialise: the three JSON texts only
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "callbacks.h"
#include "daily_data/daily_data.h"
#include "platform/fake/fake_platform.h"
#include "tracker_state.h"

namespace {

using namespace quillmoss::tracker;
using namespace quillmoss::tracker::testing;
namespace daily = quillmoss::daily;

constexpr double kStart = 1796551200.0;  // 2026-12-06 10:00:00 UTC

struct HeavyDay : FakePlatform {
  explicit HeavyDay(const std::filesystem::path& folder)
      : dataDir(folder / ("bench-tracker-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dataDir);
    clock.wall = kStart;
    state.reset(new TrackerState{
        .clock = clock,
        .idle = idle,
        .workspace = workspace,
        .scripts = scripts,
        .loop = loop,
        .kDataDir = dataDir,
    });
    TrackerState& s = *state;
    s.currentDay = clock.dayString(kStart);
    for (int i = 0; i < 2000; ++i) {
      const std::string key = i % 4 == 0 ? "com.apple.Safari#site" + std::to_string(i) + ".example"
                                         : "org.example.app" + std::to_string(i);
      s.usageData[key] = 1234.56789 + i * 0.731;
    }
    double t = kStart - 40000.0;
    for (int i = 0; i < 3000; ++i, t += 11.0) s.activityIntervals.push_back({t, t + 7.25});
    t = kStart - 40000.0;
    for (int i = 0; i < 20000; ++i, t += 1.9) {
      s.segmentSpans.push_back(
          daily::Segment{"org.example.app" + std::to_string(i % 97), t, t + 1.3333333});
    }
    s.activeBundle = "org.example.editor";
    s.lastSwitch = kStart;
  }
  ~HeavyDay() {
    state.reset();
    std::filesystem::remove_all(dataDir);
  }

  std::filesystem::path dataDir;
  std::unique_ptr<TrackerState> state;
};

void runTicks(benchmark::State& bench, const std::filesystem::path& folder) {
  HeavyDay day(folder);
  for (auto _ : bench) {
    day.clock.wall += 30.0;
    onFlushTimer(*day.state);
  }
  std::error_code error;
  bench.counters["usage_bytes"] = static_cast<double>(std::filesystem::file_size(
      day.dataDir / daily::fileName(daily::FileKind::Usage, day.state->currentDay), error));
  bench.counters["segments_bytes"] = static_cast<double>(std::filesystem::file_size(
      day.dataDir / daily::fileName(daily::FileKind::Segments, day.state->currentDay), error));
}

void BM_FlushTick_disk(benchmark::State& bench) {
  // The build tree lives on the machine's disk; /tmp may be memory-backed elsewhere.
  runTicks(bench, std::filesystem::current_path());
}
BENCHMARK(BM_FlushTick_disk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlushTick_shm(benchmark::State& bench) {
  if (!std::filesystem::is_directory("/dev/shm")) {
    bench.SkipWithError("no /dev/shm");
    return;
  }
  runTicks(bench, "/dev/shm");
}
BENCHMARK(BM_FlushTick_shm)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Serialise(benchmark::State& bench) {
  HeavyDay day(std::filesystem::temp_directory_path());
  const TrackerState& s = *day.state;
  for (auto _ : bench) {
    benchmark::DoNotOptimize(daily::serializeUsage(s.usageData));
    benchmark::DoNotOptimize(daily::serializeActivity(s.activityIntervals));
    benchmark::DoNotOptimize(daily::serializeSegments(s.segmentSpans));
  }
}
BENCHMARK(BM_Serialise)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
