// Asks the accessibility bus for the page a process's front window shows, as the tracker does,
// a number of times in a row: prints each answer and how long it took, for browser_pages.py.
//   page_probe PID COUNT [WINDOW-TITLE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/event_loop.h"
#include "linux_desktop/glib_context.h"
#include "platform/linux/atspi/showing_pages.h"

using namespace quillmoss;
using tracker::TabAnswer;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: page_probe PID COUNT [WINDOW-TITLE]\n", stderr);
    return 2;
  }
  const int pid = std::atoi(argv[1]);
  const int count = std::atoi(argv[2]);
  const std::optional<std::string> title =
      argc > 3 ? std::optional<std::string>(argv[3]) : std::nullopt;
  const auto loop = makeEventLoop();
  desktop::GlibContext glib(*loop);
  tracker::atspi::ShowingPages pages(*loop, glib);
  int done = 0;
  std::function<void()> next = [&] {
    const auto start = std::chrono::steady_clock::now();
    pages.ask(pid, title, [&, start](const TabAnswer& answer) {
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      std::printf("%.3f %s %s\n", ms, answer.missed ? "missed" : "answered",
                  answer.address ? answer.address->c_str() : "-");
      std::fflush(stdout);
      if (++done == count) return loop->quit(0);
      loop->post(next);
    });
  };
  loop->post(next);
  return loop->run();
}
