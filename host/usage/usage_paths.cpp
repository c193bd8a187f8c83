// The bridge's per-process paths, computed once on first use.
#include "daily_data/daily_data.h"
#include "platform/user_folders.h"
#include "usage/usage_tracker_bridge.h"

namespace quillmoss::host {

const UsageTrackerPaths& UsageTrackerBridge::processPaths() {
  // A function-local static: initialised once, thread-safe, from whichever thread asks first.
  static const UsageTrackerPaths paths = [] {
    UsageTrackerPaths p;
    if (auto dataFolder = daily::userDataFolder()) {
      p.appSupportDir = *dataFolder / "com.velbrook.quillmoss";
      p.dataDir = p.appSupportDir / "usage";
      p.daemonDest = p.appSupportDir / kDaemonName;
    }
    if (auto home = userHomeFolder()) p.agentDir = *home / "Library/LaunchAgents";
    return p;
  }();
  return paths;
}

}  // namespace quillmoss::host
