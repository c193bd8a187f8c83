// A heavy day (20,000 segments, 2,000 usage keys, 3,000 activity intervals): loading its three
// files, serialising each, and the durable atomic write of the segments file.
// Folder for the files: $BENCH_DAILY_DIR, else a fresh folder under the system temp folder.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "daily_data/daily_data.h"

namespace {

using namespace quillmoss::daily;

constexpr int kSegments = 20000;
constexpr int kUsageKeys = 2000;
constexpr int kIntervals = 3000;
constexpr double kDayStart = 1765000000.0;
const char* kDay = "2026-12-06";

struct HeavyDay {
  UsageMap usage;
  ActivityList activity;
  SegmentList segments;
};

HeavyDay buildHeavyDay() {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> fraction(0.0, 1.0);
  HeavyDay day;
  std::vector<std::string> keys;
  for (int i = 0; i < kUsageKeys; ++i) {
    std::string key = "org.example.application" + std::to_string(i % 200);
    if (i >= 200) key += "#site" + std::to_string(i) + ".example.org";
    keys.push_back(key);
    day.usage[key] = 3600.0 * fraction(random);
  }
  double t = kDayStart;
  for (int i = 0; i < kSegments; ++i) {
    double start = t + 0.5 * fraction(random);
    double end = start + 1.0 + 4.0 * fraction(random);
    day.segments.push_back({keys[random() % 200], start, end});
    t = end;
  }
  t = kDayStart;
  for (int i = 0; i < kIntervals; ++i) {
    double start = t + 600.0 * fraction(random);
    double end = start + 30.0 + 600.0 * fraction(random);
    day.activity.push_back({start, end});
    t = end;
  }
  return day;
}

const HeavyDay& heavyDay() {
  static const HeavyDay day = buildHeavyDay();
  return day;
}

const std::filesystem::path& benchFolder() {
  static const std::filesystem::path folder = [] {
    if (const char* dir = std::getenv("BENCH_DAILY_DIR")) {
      std::filesystem::create_directories(dir);
      return std::filesystem::path(dir);
    }
    std::string pattern = std::filesystem::temp_directory_path() / "bench_daily_data.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

std::filesystem::path dayFile(FileKind kind) {
  return benchFolder() / fileName(kind, kDay);
}

void writeHeavyDay() {
  const HeavyDay& day = heavyDay();
  bool ok = writeFileAtomically(dayFile(FileKind::Usage), *serializeUsage(day.usage)) &&
            writeFileAtomically(dayFile(FileKind::Activity), *serializeActivity(day.activity)) &&
            writeFileAtomically(dayFile(FileKind::Segments), *serializeSegments(day.segments));
  if (!ok) std::abort();
}

void BM_LoadDay(benchmark::State& state) {
  writeHeavyDay();
  for (auto _ : state) {
    auto usage = loadUsage(dayFile(FileKind::Usage));
    auto activity = loadActivity(dayFile(FileKind::Activity));
    auto segments = loadSegments(dayFile(FileKind::Segments));
    if (usage.value.size() != kUsageKeys || activity.value.size() != kIntervals ||
        segments.value.size() != kSegments) {
      state.SkipWithError("the heavy day did not load whole");
      break;
    }
    benchmark::DoNotOptimize(usage);
    benchmark::DoNotOptimize(activity);
    benchmark::DoNotOptimize(segments);
  }
  state.counters["bytes"] =
      static_cast<double>(std::filesystem::file_size(dayFile(FileKind::Usage)) +
                          std::filesystem::file_size(dayFile(FileKind::Activity)) +
                          std::filesystem::file_size(dayFile(FileKind::Segments)));
}
BENCHMARK(BM_LoadDay)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// The same load with glibc told to keep freed memory: by default it hands the heap top back
// after each iteration, so every load above pays again for faulting in some 2,000 pages, as a
// fresh process does. This figure is the load's own work. Runs after BM_LoadDay, and every
// benchmark after it keeps the setting.
void BM_LoadDayHeapKept(benchmark::State& state) {
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  BM_LoadDay(state);
}
BENCHMARK(BM_LoadDayHeapKept)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_LoadSegments(benchmark::State& state) {
  writeHeavyDay();
  for (auto _ : state) benchmark::DoNotOptimize(loadSegments(dayFile(FileKind::Segments)));
}
BENCHMARK(BM_LoadSegments)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_SerializeUsage(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(serializeUsage(heavyDay().usage));
}
BENCHMARK(BM_SerializeUsage)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_SerializeActivity(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(serializeActivity(heavyDay().activity));
}
BENCHMARK(BM_SerializeActivity)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_SerializeSegments(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    auto text = serializeSegments(heavyDay().segments);
    size = text->size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_SerializeSegments)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_WriteSegmentsAtomically(benchmark::State& state) {
  const std::string bytes = *serializeSegments(heavyDay().segments);
  const auto file = dayFile(FileKind::Segments);
  for (auto _ : state) {
    if (!writeFileAtomically(file, bytes)) {
      state.SkipWithError("write failed");
      break;
    }
  }
}
BENCHMARK(BM_WriteSegmentsAtomically)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!std::getenv("BENCH_DAILY_DIR")) {
    std::error_code ignored;
    std::filesystem::remove_all(benchFolder(), ignored);
  }
  return 0;
}
