// The host's own share of a day query, without the socket: reading the day file through the
// shared library, converting to channel values, and encoding the reply envelope.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

#include "bench/support/heavy_day.h"
#include "daily_data/daily_data.h"
#include "engine/standard_method_codec.h"
#include "usage/usage_queries.h"

namespace {

namespace fs = std::filesystem;
using namespace quillmoss;

constexpr char kDay[] = "2026-12-06";

struct HeavyDay {
  HeavyDay() {
    char pattern[] = "/tmp/qm-usage-query-bench-XXXXXX";
    dir = ::mkdtemp(pattern);
    bench::writeHeavyDay(dir, kDay);
  }
  ~HeavyDay() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path dir;
};

const HeavyDay& heavyDay() {
  static const HeavyDay day;
  return day;
}

void queryAndEncode(benchmark::State& state, host::DayQuery query) {
  const fs::path& dir = heavyDay().dir;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto value = host::queryDay(query, dir, std::string(kDay), 0.0);
    auto envelope = engine::encodeSuccessEnvelope(value);
    bytes = envelope.size();
    benchmark::DoNotOptimize(envelope.data());
  }
  state.counters["reply_bytes"] = static_cast<double>(bytes);
}

void BM_QuerySegmentsHeavyDay(benchmark::State& state) {
  queryAndEncode(state, host::DayQuery::Segments);
}
void BM_QueryUsage2000Keys(benchmark::State& state) {
  queryAndEncode(state, host::DayQuery::Usage);
}

BENCHMARK(BM_QuerySegmentsHeavyDay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryUsage2000Keys)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
