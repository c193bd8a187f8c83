// Turns what the X server says about the active window and the screen saver into the
// workspace's activations: one per change of application, none while the screen is locked,
// and a "no window" only when it lasts (window managers pass through none on every switch).
#pragma once

#include <optional>
#include <string>

#include "core/event_loop.h"
#include "platform/frontmost_app.h"

namespace quillmoss::tracker {

class ActivationFilter {
 public:
  static constexpr double kNoneDebounceSeconds = 0.25;

  explicit ActivationFilter(EventLoop& loop) : loop_(loop) {}
  ~ActivationFilter();
  ActivationFilter(const ActivationFilter&) = delete;
  ActivationFilter& operator=(const ActivationFilter&) = delete;

  // The state found at connection; nothing is delivered for it.
  void start(std::optional<std::string> front, bool screenSaverOn);
  void setHandler(Workspace::ActivationHandler handler) { handler_ = std::move(handler); }

  // The active window became none: delivered only if no window follows within the debounce.
  void noActiveWindow();
  // Some window became active; its identity follows through frontChanged().
  void windowActivated();
  // The identity of the active window is known (nullopt: a window without one).
  void frontChanged(std::optional<std::string> identity);
  void screenSaverChanged(bool on);
  // Stops the pending timer for good (the session is gone).
  void stop();

  // What the tracker was last told: the application in front, nullopt when none or locked.
  const std::optional<std::string>& frontmost() const { return reported_; }

 private:
  void cancelPendingNone();
  void deliver(const std::optional<std::string>& identity);

  EventLoop& loop_;
  Workspace::ActivationHandler handler_;
  std::optional<std::string> current_;   // the identity of the active window now
  std::optional<std::string> reported_;  // the last one delivered
  bool locked_ = false;
  std::optional<EventLoop::TimerId> pendingNone_;
};

}  // namespace quillmoss::tracker
