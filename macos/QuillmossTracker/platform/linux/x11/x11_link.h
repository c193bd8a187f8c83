// The tracker's connection to the X display named by $DISPLAY, shared by the workspace and the
// idle time. Requests go out in batches and their replies are picked up when the connection is
// readable, so the loop never waits on the server; only the idle time, which must be fresh,
// waits for its reply, a bounded time.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "core/error.h"
#include "core/event_loop.h"
#include "linux_desktop/x11_connection.h"
#include "platform/linux/session_context.h"

namespace quillmoss::tracker {

// The loop's watcher and pump timer capture `this`; the destructor ends them.
class X11Link {
 public:
  // The context's link, connected by the first candidate that asks.
  static Expected<std::shared_ptr<X11Link>> of(SessionContext& context);

  X11Link(EventLoop& loop, desktop::OpenedDisplay display);
  ~X11Link();
  X11Link(const X11Link&) = delete;
  X11Link& operator=(const X11Link&) = delete;

  EventLoop& loop() const { return loop_; }
  xcb_connection_t* c() const { return c_; }
  xcb_window_t root() const { return x_.root; }
  const desktop::X11Atoms& atoms() const { return x_.atoms; }
  bool withClientPids() const { return x_.withClientPids; }
  // MIT-SCREEN-SAVER: whether the server has it, and the code of its notify event.
  bool hasScreenSaver() const { return hasScreenSaver_; }
  std::uint8_t screenSaverEvent() const { return screenSaverEvent_; }

  // Events go to `handler` (the workspace's); starts reading the connection on the loop.
  void watch(std::function<void(const xcb_generic_event_t*)> handler);
  void dropEvents() { eventHandler_ = nullptr; }
  // Runs `complete` once every reply asked for so far is in; the requests go out on the next
  // turn at the latest.
  void track(std::function<void()> complete);
  // After a blocking read of a reply: events it took off the socket are handled on the next
  // turn, not when the descriptor next becomes readable.
  void afterBlockingRead();

  // Runs once when the connection breaks; set by the workspace.
  void onLost(std::function<void()> handler) { lostHandler_ = std::move(handler); }
  bool lost() const { return lost_; }

 private:
  // A batch of requests whose replies are read once the marker's reply is in.
  struct Pending {
    unsigned int marker;
    std::function<void()> complete;
  };

  void pump();
  void schedulePump();
  void sessionLost();

  EventLoop& loop_;
  desktop::XcbConnection connection_;
  desktop::X11Connection x_;
  xcb_connection_t* c_;
  bool hasScreenSaver_ = false;
  std::uint8_t screenSaverEvent_ = 0;
  std::function<void(const xcb_generic_event_t*)> eventHandler_;
  std::function<void()> lostHandler_;
  bool watching_ = false, lost_ = false;
  std::deque<Pending> pending_;
  std::deque<desktop::XcbReply<xcb_generic_event_t>> stashed_;
  std::optional<EventLoop::TimerId> pumpTimer_;
};

}  // namespace quillmoss::tracker
