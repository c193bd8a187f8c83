// UsageTrackerBridge: the usage channel. Installs and starts the tracker daemon, reports
// whether it runs, and answers the day queries and name/icon lookups for the UI.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/error.h"
#include "engine/method_call.h"
#include "engine/method_result.h"
#include "engine/plugin_registrar.h"
#include "platform/app_catalog.h"
#include "platform/bundle.h"
#include "platform/process_runner.h"
#include "platform/task_queue.h"

namespace quillmoss::daily {
class ParserPool;
}

namespace quillmoss::host {

// Where the daemon is installed, where it writes, and where its launch agent goes.
struct UsageTrackerPaths {
  std::filesystem::path appSupportDir;  // user data folder + "com.velbrook.quillmoss"
  std::filesystem::path dataDir;        // appSupportDir + "usage"
  std::filesystem::path daemonDest;     // appSupportDir + "QuillmossTracker"
  std::filesystem::path agentDir;       // home + "Library/LaunchAgents"
};

// What the bridge needs from the platform. The queues outlive the bridge and all its work (the
// program makes them first); the services are shared with work that may outlive the bridge.
struct UsageTrackerServices {
  TaskQueue* mainQueue = nullptr;
  TaskQueue* backgroundQueue = nullptr;
  std::shared_ptr<ProcessRunner> processes;
  std::shared_ptr<Bundle> bundle;
  std::shared_ptr<AppCatalog> catalog;         // null: "getAppName" and "getAppIcon" answer nil
  std::optional<UsageTrackerPaths> paths;      // unset: the per-process paths below
  std::function<double()> now;                 // seconds since 1970; unset: the system clock
  std::shared_ptr<daily::ParserPool> parsers;  // kept for the day files; null: none kept
};

class UsageTrackerBridge : public engine::Plugin {
 public:
  static constexpr char kChannelName[] = "com.velbrook.quillmoss/usage_tracker";
  static constexpr char kJobLabel[] = "com.velbrook.quillmoss.tracker";
  static constexpr char kAgentFileName[] = "com.velbrook.quillmoss.tracker.plist";
  static constexpr char kDaemonName[] = "QuillmossTracker";
  static constexpr char kPlaceholder[] = "DAEMON_PATH_PLACEHOLDER";

  // Makes the channel on the registrar's messenger, a new bridge, and hands both to the
  // registrar, which owns them from then on.
  static void registerWith(engine::PluginRegistrar* registrar, UsageTrackerServices services);

  explicit UsageTrackerBridge(UsageTrackerServices services);
  ~UsageTrackerBridge() override;
  UsageTrackerBridge(const UsageTrackerBridge&) = delete;
  UsageTrackerBridge& operator=(const UsageTrackerBridge&) = delete;

  // Returns at once; the reply always comes later through the main queue.
  void handleMethodCall(const engine::MethodCall& call,
                        std::unique_ptr<engine::MethodResult> result) override;

  // The per-process paths, computed once on first use (thread-safe). Empty when the user's
  // folders cannot be found.
  static const UsageTrackerPaths& processPaths();
  static const std::filesystem::path& appSupportDir() { return processPaths().appSupportDir; }
  static const std::filesystem::path& dataDir() { return processPaths().dataDir; }
  static const std::filesystem::path& daemonDest() { return processPaths().daemonDest; }
  static const std::filesystem::path& agentDir() { return processPaths().agentDir; }

 private:
  // Everything queued work needs; queued work holds it weakly, so work still waiting when the
  // bridge goes is dropped.
  struct Core;
  std::shared_ptr<Core> core_;
};

}  // namespace quillmoss::host
