// Codec throughput and socket round trips for the host's heaviest replies: a day of 20,000
// usage segments and a usage map of 2,000 keys.
#include <benchmark/benchmark.h>

#include <thread>

#include "core/linux/linux_event_loop.h"
#include "engine/engine_client.h"
#include "engine/method_channel.h"
#include "engine/socket_messenger.h"
#include "engine/standard_message_codec.h"
#include "engine/standard_method_codec.h"

namespace quillmoss::engine {
namespace {

EncodableValue heavySegments() {
  EncodableList segments;
  segments.reserve(20000);
  double start = 1717200000.0;
  for (int i = 0; i < 20000; ++i) {
    std::string key = i % 3 == 0 ? "com.apple.Safari#site" + std::to_string(i % 97) + ".example.com"
                                 : "com.example.app" + std::to_string(i % 41);
    segments.push_back(EncodableList{EncodableValue(std::move(key)), start, start + 3.25});
    start += 4.125;
  }
  return EncodableValue(std::move(segments));
}

EncodableValue usageMap() {
  EncodableMap usage;
  for (int i = 0; i < 2000; ++i) {
    usage[EncodableValue("com.example.app" + std::to_string(i) + "#docs.example.org")] =
        EncodableValue(12.5 * i);
  }
  return EncodableValue(std::move(usage));
}

void encodeBenchmark(benchmark::State& state, const EncodableValue& value) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto encoded = encodeSuccessEnvelope(value);
    bytes = encoded.size();
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["message_bytes"] = static_cast<double>(bytes);
}

void decodeBenchmark(benchmark::State& state, const EncodableValue& value) {
  const auto encoded = encodeSuccessEnvelope(value);
  for (auto _ : state) {
    auto reply = decodeMethodReply(encoded.data(), encoded.size());
    if (!reply) state.SkipWithError("did not decode");
    benchmark::DoNotOptimize(reply);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}

void BM_EncodeSegments(benchmark::State& state) {
  encodeBenchmark(state, heavySegments());
}
void BM_DecodeSegments(benchmark::State& state) {
  decodeBenchmark(state, heavySegments());
}
void BM_EncodeUsageMap(benchmark::State& state) {
  encodeBenchmark(state, usageMap());
}
void BM_DecodeUsageMap(benchmark::State& state) {
  decodeBenchmark(state, usageMap());
}
BENCHMARK(BM_EncodeSegments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSegments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeUsageMap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeUsageMap)->Unit(benchmark::kMicrosecond);

// A host in this process (its loop on a thread of its own) answering through a method channel
// with a value built per call; the client decodes each reply, as the UI would.
void roundTrip(benchmark::State& state, const char* method) {
  char folder[] = "/tmp/qm-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = std::string(folder) + "/engine.sock";
  LinuxEventLoop loop;
  SocketMessenger messenger(loop);
  if (!messenger.listen(path)) {
    state.SkipWithError("cannot listen");
    return;
  }
  {
    MethodChannel channel(&messenger, "com.velbrook.quillmoss/usage_tracker");
    channel.setMethodCallHandler([](const MethodCall& call, std::unique_ptr<MethodResult> result) {
      result->success(call.methodName() == "getSegments" ? heavySegments() : usageMap());
    });
    std::thread loopThread([&] { loop.run(); });
    auto connected = EngineClient::connect(path, -1);
    auto client = connected ? std::move(*connected) : nullptr;
    const auto message = encodeMethodCall(MethodCall(method, EncodableMap{{"date", "2024-06-01"}}));
    std::uint32_t id = 0;
    for (auto _ : state) {
      EngineResponse response;
      if (!client || !client->sendRequest(++id, channel.name(), message.data(), message.size()) ||
          client->receive(response, 10000) != EngineClient::ReceiveStatus::kOk) {
        state.SkipWithError("round trip failed");
        break;
      }
      auto reply = decodeMethodReply(response.reply.data(), response.reply.size());
      benchmark::DoNotOptimize(reply);
    }
    loop.quit(0);
    loopThread.join();
  }
  ::rmdir(folder);
}

void BM_SocketRoundTripGetSegments(benchmark::State& state) {
  roundTrip(state, "getSegments");
}
void BM_SocketRoundTripGetUsage(benchmark::State& state) {
  roundTrip(state, "getUsage");
}
BENCHMARK(BM_SocketRoundTripGetSegments)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SocketRoundTripGetUsage)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quillmoss::engine

BENCHMARK_MAIN();
