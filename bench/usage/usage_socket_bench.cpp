// Round trips of the usage channel's day queries over the host's socket, on a heavy day:
// 20,000 segments and 2,000 usage keys. Starts the real host in a private temporary home.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/heavy_day.h"
#include "daily_data/daily_data.h"
#include "engine/engine_client.h"
#include "engine/standard_method_codec.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quillmoss;

constexpr char kChannel[] = "com.velbrook.quillmoss/usage_tracker";
constexpr char kDay[] = "2026-12-06";

struct HostUnderTest {
  fs::path root;
  pid_t pid = -1;
  std::unique_ptr<engine::EngineClient> client;
  std::string problem;
};

HostUnderTest* gHost = nullptr;

void startHost(HostUnderTest& h) {
  char pattern[] = "/tmp/qm-usage-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    h.problem = "no temporary folder";
    return;
  }
  h.root = pattern;
  for (const char* name : {"home", "data", "run"}) fs::create_directories(h.root / name);
  fs::permissions(h.root / "run", fs::perms::owner_all);
  ::setenv("HOME", (h.root / "home").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (h.root / "data").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (h.root / "run").c_str(), 1);
  bench::writeHeavyDay(h.root / "data" / "com.velbrook.quillmoss" / "usage", kDay);

  if (::access(QM_HOST_BINARY, X_OK) != 0) {
    h.problem = std::string("no host binary at ") + QM_HOST_BINARY;
    return;
  }
  char* argv[] = {const_cast<char*>(QM_HOST_BINARY), nullptr};
  if (::posix_spawn(&h.pid, QM_HOST_BINARY, nullptr, nullptr, argv, environ) != 0) {
    h.problem = "the host did not start";
    return;
  }
  const std::string socket = (h.root / "run" / "quillmoss" / "engine.sock").string();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!h.client && std::chrono::steady_clock::now() < deadline) {
    if (auto connected = engine::EngineClient::connect(socket, -1))
      h.client = std::move(*connected);
    if (!h.client) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!h.client) h.problem = "no host answered on " + socket;
}

void stopHost(HostUnderTest& h) {
  h.client.reset();
  if (h.pid > 0) {
    ::kill(h.pid, SIGTERM);
    ::waitpid(h.pid, nullptr, 0);
  }
  std::error_code ec;
  if (!h.root.empty()) fs::remove_all(h.root, ec);
}

// One call and its decoded reply; false on any transport or decoding failure.
bool roundTrip(const std::vector<std::uint8_t>& message, std::size_t& elements) {
  static std::uint32_t nextId = 1;
  const std::uint32_t id = nextId++;
  if (!gHost->client->sendRequest(id, kChannel, message.data(), message.size())) return false;
  static engine::EngineResponse response;
  if (gHost->client->receive(response, 60000) != engine::EngineClient::ReceiveStatus::kOk ||
      response.requestId != id) {
    return false;
  }
  auto decoded = engine::decodeMethodReply(response.reply.data(), response.reply.size());
  if (!decoded || decoded->kind != engine::MethodReply::Kind::kSuccess) return false;
  if (auto* list = decoded->value.getIf<engine::EncodableList>()) elements = list->size();
  if (auto* map = decoded->value.getIf<engine::EncodableMap>()) elements = map->size();
  return true;
}

void measure(benchmark::State& state, const char* method, std::size_t expected) {
  if (!gHost->problem.empty()) {
    state.SkipWithError(gHost->problem.c_str());
    return;
  }
  const auto message =
      engine::encodeMethodCall(engine::MethodCall(method, engine::EncodableMap{{"date", kDay}}));
  std::vector<double> millis;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t elements = 0;
    if (!roundTrip(message, elements) || elements != expected) {
      state.SkipWithError("unexpected reply");
      return;
    }
    millis.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(millis.begin(), millis.end());
  state.counters["median_ms"] = millis[millis.size() / 2];
  state.counters["p90_ms"] = millis[millis.size() * 9 / 10];
}

void BM_GetSegmentsHeavyDay(benchmark::State& state) {
  measure(state, "getSegments", 20000);
}
void BM_GetUsage2000Keys(benchmark::State& state) {
  measure(state, "getUsage", 2000);
}

BENCHMARK(BM_GetSegmentsHeavyDay)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GetUsage2000Keys)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  HostUnderTest h;
  gHost = &h;
  startHost(h);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  stopHost(h);
  return 0;
}
