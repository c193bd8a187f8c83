// The idle time from the X server's MIT-SCREEN-SAVER extension. The reading must be fresh, so
// it waits for the server's reply, a bounded time, and not at all once termination has begun.
#include <xcb/screensaver.h>
#include <xcb/xcbext.h>

#include "core/monotonic_clock.h"
#include "platform/linux/session_candidates.h"
#include "platform/linux/x11/x11_link.h"

namespace quillmoss::tracker {
namespace {

using desktop::XcbReply;

// One flush asks for the idle time more than once within microseconds; a reading this fresh
// is reused (aged by the time since) instead of another round trip to the server.
constexpr double kIdleReuseSeconds = 0.1;
// A server that has not answered the idle query by then is taken as stopped for this reading.
constexpr double kIdleReplyTimeout = 0.5;

class X11Idle final : public IdleSource {
 public:
  explicit X11Idle(std::shared_ptr<X11Link> link) : link_(std::move(link)), c_(link_->c()) {}

  double secondsSinceLastInput() override {
    const double sinceReading = monotonicSeconds() - lastIdleAt_;
    if (sinceReading >= 0.0 && sinceReading < kIdleReuseSeconds) return lastIdle_ + sinceReading;
    if (!link_->lost() && !stopped_ && !xcb_connection_has_error(c_)) {
      auto reply = queryIdleWithin(kIdleReplyTimeout);
      link_->afterBlockingRead();
      if (reply) {
        lastIdle_ = reply->ms_since_user_input / 1000.0;
        lastIdleAt_ = monotonicSeconds();
        return lastIdle_;
      }
    }
    // No answer to be had: the last reading, aged.
    return lastIdleAt_ < 0.0 ? 0.0 : lastIdle_ + (monotonicSeconds() - lastIdleAt_);
  }
  void stopAsking() override { stopped_ = true; }

 private:
  XcbReply<xcb_screensaver_query_info_reply_t> queryIdleWithin(double seconds) {
    const unsigned int sequence = xcb_screensaver_query_info(c_, link_->root()).sequence;
    xcb_flush(c_);
    auto reply = desktop::awaitReply(c_, sequence, seconds);
    if (!reply) {
      // The reply may still come; it is dropped then.
      if (!xcb_connection_has_error(c_)) xcb_discard_reply(c_, sequence);
      return nullptr;
    }
    return XcbReply<xcb_screensaver_query_info_reply_t>(
        static_cast<xcb_screensaver_query_info_reply_t*>(reply->release()));
  }

  std::shared_ptr<X11Link> link_;
  xcb_connection_t* c_;
  bool stopped_ = false;  // termination has begun: the server is not asked again
  // The last reading, for when the server can no longer be asked.
  double lastIdle_ = 0.0;
  double lastIdleAt_ = -1.0;
};

}  // namespace

IdleMade x11ScreenSaverIdle(SessionContext& context) {
  auto link = X11Link::of(context);
  if (!link) return link.error();
  if (!(*link)->hasScreenSaver()) return desktop::cannotServe("the X server does not offer it");
  auto idle = std::make_unique<X11Idle>(*link);
  idle->secondsSinceLastInput();  // the first reading, kept for when the server stops answering
  return std::unique_ptr<IdleSource>(std::move(idle));
}

}  // namespace quillmoss::tracker
