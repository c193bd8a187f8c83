// The day one click away on Linux: the bundle's quillmoss-report writes today's page through
// the host's own socket, then the desktop's handler for it (xdg-open) opens it. The host has
// no window here; the page is what the user sees of the day.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "posix/unique_fd.h"

namespace quillmoss::host {

// The page is rewritten on every click; a report still being made after this is given up.
inline constexpr double kReportTimeoutSeconds = 30.0;
// The opener may stay until the browser it started ends (xdg-open outside a desktop does);
// after this long the next click no longer waits for it.
inline constexpr double kOpenerGraceSeconds = 10.0;

class TodayReport {
 public:
  // page: where today's page goes. The loop outlives this object.
  TodayReport(EventLoop& loop, std::filesystem::path page) : loop_(loop), page_(std::move(page)) {}
  // A report still being made is ended; openers are left to the desktop.
  ~TodayReport();
  TodayReport(const TodayReport&) = delete;
  TodayReport& operator=(const TodayReport&) = delete;

  // Makes and opens the page. A click while the page is made, or while its opener runs within
  // its grace, is dropped: clicks never pile up processes.
  void open();
  bool busy() const { return report_.has_value() || grace_ != 0; }

 private:
  // Watched through a pidfd on the loop and reaped when it ends.
  struct Child {
    pid_t pid = 0;
    posix::UniqueFd ended;
  };

  std::optional<Child> spawn(const std::vector<std::string>& args);
  void reportEnded();
  void openerEnded(pid_t pid);

  EventLoop& loop_;
  std::filesystem::path page_;
  std::optional<Child> report_;
  EventLoop::TimerId reportLimit_ = 0;
  std::vector<Child> openers_;
  EventLoop::TimerId grace_ = 0;  // set while the last opener is waited for
  pid_t lastOpener_ = 0;
};

}  // namespace quillmoss::host
