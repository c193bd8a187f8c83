// The bridge's per-process paths, computed once on first use: the data folder the tracker
// writes into and the LaunchAgents folder, on every platform.
#include "daily_data/daily_data.h"
#include "platform/user_folders.h"
#include "usage/usage_tracker_bridge.h"

namespace quillmoss::host {

const UsageTrackerPaths& UsageTrackerBridge::processPaths() {
  // A function-local static: initialised once, thread-safe, from whichever thread asks first.
  static const UsageTrackerPaths paths = [] {
    UsageTrackerPaths p;
    if (auto dataFolder = daily::userDataFolder()) {
      p.appSupportDir = daily::appFolderIn(*dataFolder);
      p.dataDir = daily::dataDirectoryIn(*dataFolder);
      p.daemonDest = p.appSupportDir / kDaemonName;
    }
    if (auto home = userHomeFolder()) p.agentDir = *home / "Library/LaunchAgents";
    return p;
  }();
  return paths;
}

}  // namespace quillmoss::host
