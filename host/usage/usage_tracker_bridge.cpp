// Dispatch of the usage channel: every call hops to the background queue, and every reply
// comes back through the main queue.
#include "usage/usage_tracker_bridge.h"

#include <chrono>
#include <utility>

#include "engine/method_channel.h"
#include "usage/daemon_installer.h"
#include "usage/setup_serializer.h"
#include "usage/usage_queries.h"

namespace quillmoss::host {

using engine::EncodableMap;
using engine::EncodableValue;
using engine::MethodResult;
using SharedResult = std::shared_ptr<MethodResult>;

namespace {

constexpr std::size_t kFreedElsewhereBytes = 256 * 1024;

// What one call asks for, taken out of the call on arrival so that queued work carries a few
// strings rather than a copy of whatever the client sent.
struct UsageRequest {
  std::string method;
  std::optional<std::string> date;  // "date" when it is a string
  std::string bundleId;             // "bundleId" when it is a string, else empty
  std::optional<std::uint64_t> setupTicket;
};

// The string under key in a map whose keys are all strings; any other argument value,
// including a map with a key of another type, counts as the empty map.
const std::string* stringArgument(const EncodableValue& arguments, const char* key) {
  const auto* map = arguments.getIf<EncodableMap>();
  if (map == nullptr) return nullptr;
  for (const auto& entry : *map) {
    if (entry.first.getIf<std::string>() == nullptr) return nullptr;
  }
  auto found = map->find(EncodableValue(key));
  return found == map->end() ? nullptr : found->second.getIf<std::string>();
}

}  // namespace

struct UsageTrackerBridge::Core : std::enable_shared_from_this<Core> {
  UsageTrackerServices services;
  SetupSerializer setupSerializer;

  explicit Core(UsageTrackerServices s) : services(std::move(s)) {}

  const UsageTrackerPaths& paths() const {
    return services.paths ? *services.paths : processPaths();
  }

  double now() const {
    if (services.now) return services.now();
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
  }

  // "/usr/bin/env args..." through the process runner; nullopt when there is no text.
  std::optional<std::string> shell(const std::vector<std::string>& args) const {
    if (!services.processes) return std::nullopt;
    return services.processes->run(args);
  }

  void reply(const SharedResult& result, std::function<void(MethodResult&)> answer) {
    services.mainQueue->async([result, answer = std::move(answer)] { answer(*result); });
  }

  void dispatch(UsageRequest& request, const SharedResult& result);
  void setup(const SharedResult& result);
};

void UsageTrackerBridge::registerWith(engine::PluginRegistrar* registrar,
                                      UsageTrackerServices services) {
  auto channel = std::make_unique<engine::MethodChannel>(registrar->messenger(), kChannelName);
  auto bridge = std::make_unique<UsageTrackerBridge>(std::move(services));
  registrar->addMethodCallDelegate(std::move(bridge), std::move(channel));
}

UsageTrackerBridge::UsageTrackerBridge(UsageTrackerServices services)
    : core_(std::make_shared<Core>(std::move(services))) {}

UsageTrackerBridge::~UsageTrackerBridge() = default;

void UsageTrackerBridge::handleMethodCall(const engine::MethodCall& call,
                                          std::unique_ptr<MethodResult> result) {
  UsageRequest request;
  request.method = call.methodName();
  if (const auto* date = stringArgument(call.arguments(), "date")) request.date = *date;
  if (const auto* bundleId = stringArgument(call.arguments(), "bundleId")) {
    request.bundleId = *bundleId;
  }
  // "setup" calls are numbered here, on the main thread, so they run in arrival order
  // whatever order the background workers pick them up in.
  if (request.method == "setup") request.setupTicket = core_->setupSerializer.takeTicket();
  SharedResult shared(std::move(result));
  core_->services.backgroundQueue->async(
      [weak = std::weak_ptr<Core>(core_), request = std::move(request), shared]() mutable {
        if (auto core = weak.lock()) core->dispatch(request, shared);
      });
}

void UsageTrackerBridge::Core::dispatch(UsageRequest& request, const SharedResult& result) {
  const std::string& method = request.method;

  if (method == "setup") {
    setupSerializer.submit(*request.setupTicket,
                           [self = shared_from_this(), result] { self->setup(result); });
    return;
  }
  std::optional<DayQuery> query;
  if (method == "getUsage") query = DayQuery::Usage;
  if (method == "getActivity") query = DayQuery::Activity;
  if (method == "getSegments") query = DayQuery::Segments;
  if (query) {
    auto bytes = dayReply(*query, paths().dataDir, request.date, now(), services.parsers.get());
    services.mainQueue->async(
        [result, bytes = std::move(bytes), background = services.backgroundQueue]() mutable {
          result->successEncoded(bytes);
          // The messenger has its own copy by now; a large buffer is freed off the main thread.
          if (bytes.capacity() >= kFreedElsewhereBytes) {
            background->async([spent = std::move(bytes)] {});
          }
        });
    return;
  }
  if (method == "getAppName" || method == "getAppIcon") {
    const bool wantsName = method == "getAppName";
    // Names and icons come from the platform's workspace, which lives on the main thread.
    services.mainQueue->async(
        [catalog = services.catalog, result, wantsName, key = std::move(request.bundleId)] {
          if (!catalog) {
            result->success();
          } else if (wantsName) {
            auto name = catalog->appName(key);
            result->success(name ? EncodableValue(*name) : EncodableValue());
          } else {
            auto png = catalog->appIconPng(key);
            result->success(png ? EncodableValue(std::move(*png)) : EncodableValue());
          }
        });
    return;
  }
  if (method == "isRunning") {
    const auto listing = shell({"launchctl", "list", kJobLabel});
    const bool running = listing && listing->find("\"PID\"") != std::string::npos;
    reply(result, [running](MethodResult& r) { r.success(EncodableValue(running)); });
    return;
  }
  reply(result, [](MethodResult& r) { r.notImplemented(); });
}

void UsageTrackerBridge::Core::setup(const SharedResult& result) {
  const auto& p = paths();
  const auto agentFile = p.agentDir / kAgentFileName;
  Status installed = installDaemon(services.bundle.get(), p.appSupportDir, p.daemonDest);
  if (installed) {
    installed = installLaunchAgent(services.bundle.get(), p.agentDir, agentFile, p.daemonDest);
  }
  if (!installed) {
    reply(result, [message = installed.error().message](MethodResult& r) {
      r.error("SETUP_FAILED", message, EncodableValue());
    });
    return;
  }
  shell({"launchctl", "unload", agentFile.string()});
  shell({"launchctl", "load", "-w", agentFile.string()});
  reply(result, [](MethodResult& r) { r.success(EncodableValue(true)); });
}

}  // namespace quillmoss::host
