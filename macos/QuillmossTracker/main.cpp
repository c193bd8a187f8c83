// QuillmossTracker: records, day by day, which application has the user's focus.
#include "callbacks.h"
#include "daily_data/daily_data.h"
#include "platform/desktop.h"
#include "platform/linux/linux_run_loop.h"
#include "platform/linux/no_script_runner.h"
#include "platform/linux/system_clock.h"
#include "platform/linux/termination_signals.h"
#include "startup.h"
#include "tracker_state.h"

using namespace quillmoss::tracker;

int main() {
  const auto dataDir = quillmoss::daily::dataDirectory();
  if (!dataDir) return 1;

  // First, so that any thread started later keeps the termination signals blocked.
  LinuxRunLoop loop;
  const auto desktop = connectDesktopSession(loop);
  if (!desktop) return 1;
  SystemClock clock;
  NoScriptRunner scripts;

  TrackerState state{
      .clock = clock,
      .idle = *desktop,
      .workspace = *desktop,
      .scripts = scripts,
      .loop = loop,
      .kDataDir = *dataDir,
  };
  {
    // Nothing is timed yet: a signal while we wait for the lock or load the day just ends us.
    DefaultTerminationSignals untilStarted;
    startTracker(state);
  }
  scheduleCallbacks(state);
  desktop->onSessionLost([&state] { onTerminationSignal(state, 0); });
  return loop.run();
}
