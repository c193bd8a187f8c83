// QuillmossTracker: records, day by day, which application has the user's focus.
#include <cstdio>

#include "callbacks.h"
#include "core/event_loop.h"
#include "core/linux/termination_signals.h"
#include "daily_data/daily_data.h"
#include "platform/linux/carried_module.h"
#include "platform/linux/linux_session.h"
#include "platform/linux/no_script_runner.h"
#include "platform/linux/system_clock.h"
#include "startup.h"
#include "tracker_state.h"

using namespace quillmoss::tracker;

int main() {
  const auto dataDir = quillmoss::daily::dataDirectory();
  if (!dataDir) {
    std::fputs("QuillmossTracker: no data folder (neither XDG_DATA_HOME nor HOME is set)\n",
               stderr);
    return 1;
  }

  // First, so that any thread started later keeps the termination signals blocked.
  const auto loop = quillmoss::makeEventLoop();
  // Browser pages are read over the accessibility bus on a GLib context of their own, from the
  // module the program carries: loaded at the first browser in front, or now for a Wayland
  // session, whose own context must come after the pages' (so that its D-Bus work stays there).
  CarriedBrowserTabs tabs(*loop);
  if (waylandDisplayNamed()) tabs.prepare();
  // Each connection is made within a bounded time and given up at once for a termination
  // signal, which then ends us here: nothing is timed yet.
  auto connected = connectLinuxSession(*loop);
  if (!connected && quillmoss::terminationPending()) {
    const quillmoss::DefaultTerminationSignals endNow;
  }
  if (!connected) {
    std::fprintf(stderr, "QuillmossTracker: %s\n", connected.error().message.c_str());
    return 1;
  }
  const LinuxSession session = std::move(*connected);
  SystemClock clock;
  NoScriptRunner scripts;
  tabs.setFrontWindow([&session](auto done) { session.workspace->frontWindow(std::move(done)); });

  TrackerState state{
      .clock = clock,
      .idle = *session.idle,
      .workspace = *session.workspace,
      .scripts = scripts,
      .loop = *loop,
      .tabAddresses = &tabs,
      .kDataDir = *dataDir,
#ifdef QM_TEST_FLUSH_INTERVAL
      // Only the end-to-end test's own build of this file sets it, to reach a flush quickly.
      .kFlushInterval = QM_TEST_FLUSH_INTERVAL,
#endif
  };
  {
    // Nothing is timed yet: a signal while we wait for the lock or load the day just ends us.
    quillmoss::DefaultTerminationSignals untilStarted;
    if (auto started = startTracker(state); !started) {
      std::fprintf(stderr, "QuillmossTracker: %s\n", started.error().message.c_str());
      return 1;
    }
  }
  scheduleCallbacks(state);
  session.workspace->onSessionLost([&state] { onTerminationSignal(state, 0); });
  const int status = loop->run();
  if (auto note = exitNote(state)) std::fprintf(stderr, "QuillmossTracker: %s\n", note->c_str());
  return status;
}
