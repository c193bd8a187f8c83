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

namespace {

// The argument map: a string-keyed map's value under key, else nullptr.
const EncodableValue* argument(const EncodableValue& arguments, const char* key) {
  const auto* map = arguments.getIf<EncodableMap>();
  if (map == nullptr) return nullptr;
  auto found = map->find(EncodableValue(key));
  return found == map->end() ? nullptr : &found->second;
}

std::optional<std::string> dateArgument(const EncodableValue& arguments) {
  const auto* value = argument(arguments, "date");
  if (value == nullptr) return std::nullopt;
  if (const auto* text = value->getIf<std::string>()) return *text;
  return std::nullopt;
}

std::string bundleIdArgument(const EncodableValue& arguments) {
  const auto* value = argument(arguments, "bundleId");
  if (value == nullptr) return std::string();
  if (const auto* text = value->getIf<std::string>()) return *text;
  return std::string();
}

}  // namespace

void UsageTrackerBridge::registerWith(engine::PluginRegistrar* registrar,
                                      UsageTrackerServices services) {
  auto channel = std::make_unique<engine::MethodChannel>(registrar->messenger(), kChannelName);
  auto bridge = std::make_unique<UsageTrackerBridge>(std::move(services));
  registrar->addMethodCallDelegate(std::move(bridge), std::move(channel));
}

UsageTrackerBridge::UsageTrackerBridge(UsageTrackerServices services)
    : services_(std::move(services)), setupSerializer_(std::make_unique<SetupSerializer>()) {}

UsageTrackerBridge::~UsageTrackerBridge() = default;

const UsageTrackerPaths& UsageTrackerBridge::paths() const {
  return services_.paths ? *services_.paths : processPaths();
}

double UsageTrackerBridge::now() const {
  if (services_.now) return services_.now();
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

void UsageTrackerBridge::handleMethodCall(const engine::MethodCall& call,
                                          std::unique_ptr<MethodResult> result) {
  // "setup" calls are numbered here, on the main thread, so they run in arrival order
  // whatever order the background workers pick them up in.
  std::optional<std::uint64_t> setupTicket;
  if (call.methodName() == "setup") setupTicket = setupSerializer_->takeTicket();
  SharedResult shared(std::move(result));
  services_.backgroundQueue->async(
      [this, call, shared, setupTicket] { dispatch(call, shared, setupTicket); });
}

void UsageTrackerBridge::reply(const SharedResult& result,
                               std::function<void(MethodResult&)> answer) {
  services_.mainQueue->async([result, answer = std::move(answer)] { answer(*result); });
}

void UsageTrackerBridge::dispatch(const engine::MethodCall& call, const SharedResult& result,
                                  std::optional<std::uint64_t> setupTicket) {
  const EncodableValue& arguments = call.arguments();
  const std::string& method = call.methodName();

  if (method == "setup") {
    setupSerializer_->submit(*setupTicket, [this, result] { setup(result); });
    return;
  }
  std::optional<DayQuery> query;
  if (method == "getUsage") query = DayQuery::Usage;
  if (method == "getActivity") query = DayQuery::Activity;
  if (method == "getSegments") query = DayQuery::Segments;
  if (query) {
    auto value = queryDay(*query, paths().dataDir, dateArgument(arguments), now());
    reply(result, [value = std::move(value)](MethodResult& r) { r.success(value); });
    return;
  }
  if (method == "getAppName" || method == "getAppIcon") {
    const bool wantsName = method == "getAppName";
    services_.mainQueue->async([this, result, wantsName, key = bundleIdArgument(arguments)] {
      AppCatalog* catalog = services_.catalog;
      if (catalog == nullptr) {
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

void UsageTrackerBridge::setup(const SharedResult& result) {
  auto error = installDaemon();
  if (!error) error = installLaunchAgent();
  if (error) {
    reply(result, [message = error->message](MethodResult& r) {
      r.error("SETUP_FAILED", message, EncodableValue());
    });
    return;
  }
  startDaemon();
  reply(result, [](MethodResult& r) { r.success(EncodableValue(true)); });
}

std::optional<InstallError> UsageTrackerBridge::installDaemon() const {
  if (services_.bundle == nullptr) {
    return InstallError{kUsageTrackerErrorDomain, 1, "QuillmossTracker not found in bundle"};
  }
  return host::installDaemon(*services_.bundle, paths().appSupportDir, paths().daemonDest);
}

std::optional<InstallError> UsageTrackerBridge::installLaunchAgent() const {
  if (services_.bundle == nullptr) {
    return InstallError{kUsageTrackerErrorDomain, 2, "LaunchAgent plist not in bundle"};
  }
  const auto& p = paths();
  return host::installLaunchAgent(*services_.bundle, p.agentDir, p.agentDir / kAgentFileName,
                                  p.daemonDest);
}

void UsageTrackerBridge::startDaemon() const {
  const std::string agentFile = (paths().agentDir / kAgentFileName).string();
  shell({"launchctl", "unload", agentFile});
  shell({"launchctl", "load", "-w", agentFile});
}

std::optional<std::string> UsageTrackerBridge::shell(const std::vector<std::string>& args) const {
  if (services_.processes == nullptr) return std::nullopt;
  return services_.processes->run(args);
}

}  // namespace quillmoss::host
