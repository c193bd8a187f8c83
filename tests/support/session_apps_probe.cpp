// Prints the host workspace's running applications here: identity, name, and "icon" or "-".
#include <cstdio>

#include "platform/linux/linux_workspace.h"
#include "platform/linux/session_running_windows.h"

int main() {
  using namespace quillmoss::host;
  XdgInstalledApplications installed;
  IconTheme iconTheme(iconThemeFoldersFromEnvironment());
  const auto loop = quillmoss::makeEventLoop();
  SessionRunningWindows running(*loop, installed, {});
  LinuxWorkspace workspace(running, installed, iconTheme);
  for (const RunningApplication& app : workspace.runningApplications()) {
    std::printf("%s\t%s\t%s\n", app.bundleIdentifier.value_or("").c_str(),
                app.localizedName.value_or("").c_str(), app.icon ? "icon" : "-");
  }
  return 0;
}
