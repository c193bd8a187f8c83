// The tracker's desktop session on an X11 display: the frontmost application from the window
// manager's _NET_ACTIVE_WINDOW, the screen lock and the input idle time from MIT-SCREEN-SAVER.
// Requests go out in batches and their replies are picked up when the connection is readable,
// so the loop never waits on the server except for the idle time, which must be fresh: for that
// it waits a bounded time, and not at all once termination has begun.
#include <poll.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "linux_desktop/desktop_entries.h"
#include "linux_desktop/identity.h"
#include "linux_desktop/x11_window_facts.h"
#include "platform/linux/x11/activation_filter.h"
#include "platform/linux/x11/x11_session.h"

namespace quillmoss::tracker {
namespace {

using desktop::XcbReply;

// Dialogs of dialogs are followed this far; a loop of WM_TRANSIENT_FOR ends here.
constexpr int kMaxTransientDepth = 8;
// One flush asks for the idle time more than once within microseconds; a reading this fresh
// is reused (aged by the time since) instead of another round trip to the server.
constexpr double kIdleReuseSeconds = 0.1;
// A server that has not answered the idle query by then is taken as stopped for this reading.
constexpr double kIdleReplyTimeout = 0.5;

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class X11Session final : public DesktopSession {
 public:
  X11Session(EventLoop& loop, desktop::XcbConnection connection, xcb_window_t root,
             desktop::X11Atoms atoms)
      : loop_(loop),
        connection_(std::move(connection)),
        c_(connection_.get()),
        root_(root),
        atoms_(atoms),
        filter_(loop) {}

  ~X11Session() override {
    filter_.stop();
    if (pumpTimer_) loop_.cancel(*pumpTimer_);
    if (watching_) loop_.unwatch(xcb_get_file_descriptor(c_));
  }

  bool start();

  std::optional<std::string> frontmostBundleId() override { return filter_.frontmost(); }
  void observeActivations(ActivationHandler handler) override {
    filter_.setHandler(std::move(handler));
  }
  void onSessionLost(std::function<void()> handler) override { lostHandler_ = std::move(handler); }
  double secondsSinceLastInput() override;
  void stopAsking() override { stopped_ = true; }

 private:
  using IdentityCallback = std::function<void(const std::optional<std::string>&)>;

  // A batch of requests whose replies are read once the marker's reply is in.
  struct Pending {
    unsigned int marker;
    std::function<void()> complete;
  };

  void track(std::function<void()> complete);
  void pump();
  void schedulePump();
  void handleEvent(const xcb_generic_event_t* event);
  void queryActiveWindow();
  void queryClientList();
  void resolveWindow(xcb_window_t window, int depth, IdentityCallback done);
  std::optional<std::string> identityOf(const desktop::WindowInfo& info);
  std::optional<std::string> resolveNow(xcb_window_t window);
  XcbReply<xcb_screensaver_query_info_reply_t> queryIdleWithin(double seconds);
  void sessionLost();

  EventLoop& loop_;
  desktop::XcbConnection connection_;
  xcb_connection_t* c_;
  xcb_window_t root_;
  desktop::X11Atoms atoms_;
  ActivationFilter filter_;
  desktop::DesktopEntryIndex index_;
  bool withClientPids_ = false;
  bool hasScreenSaver_ = false;
  std::uint8_t screenSaverEvent_ = 0;
  bool watching_ = false;
  bool lost_ = false;
  bool stopped_ = false;  // termination has begun: the server is not asked again
  std::function<void()> lostHandler_;
  std::deque<Pending> pending_;
  std::deque<XcbReply<xcb_generic_event_t>> stashed_;
  std::optional<EventLoop::TimerId> pumpTimer_;
  std::uint64_t generation_ = 0;
  // The window _NET_ACTIVE_WINDOW named last; some managers leave it there after it closed.
  xcb_window_t activeWindow_ = XCB_WINDOW_NONE;
  std::unordered_map<xcb_window_t, std::string> identities_;
  // The last idle reading, for when the server can no longer be asked.
  double lastIdle_ = 0.0;
  double lastIdleAt_ = -1.0;
};

bool X11Session::start() {
  withClientPids_ = desktop::hasClientPids(c_);
  if (const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_screensaver_id);
      ext != nullptr && ext->present) {
    hasScreenSaver_ = true;
    screenSaverEvent_ = static_cast<std::uint8_t>(ext->first_event + XCB_SCREENSAVER_NOTIFY);
    xcb_screensaver_select_input(c_, root_, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
  }
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
  index_ = desktop::DesktopEntryIndex::scan();

  // The state at start-up is read synchronously, once.
  auto active = xcb_get_property(c_, 0, root_, atoms_.netActiveWindow, XCB_ATOM_WINDOW, 0, 1);
  std::optional<xcb_screensaver_query_info_cookie_t> info;
  if (hasScreenSaver_) info = xcb_screensaver_query_info(c_, root_);
  XcbReply<xcb_get_property_reply_t> activeReply(xcb_get_property_reply(c_, active, nullptr));
  bool screenSaverOn = false;
  if (info) {
    XcbReply<xcb_screensaver_query_info_reply_t> reply(
        xcb_screensaver_query_info_reply(c_, *info, nullptr));
    if (reply) {
      screenSaverOn = reply->state == XCB_SCREENSAVER_STATE_ON;
      lastIdle_ = reply->ms_since_user_input / 1000.0;
      lastIdleAt_ = monotonicSeconds();
    }
  }
  xcb_window_t window = desktop::propertyCard32(activeReply.get()).value_or(XCB_WINDOW_NONE);
  activeWindow_ = window;
  std::optional<std::string> front;
  if (window != XCB_WINDOW_NONE) front = resolveNow(window);
  if (xcb_connection_has_error(c_)) return false;
  filter_.start(front, screenSaverOn);

  loop_.watchReadable(xcb_get_file_descriptor(c_), [this] { pump(); });
  watching_ = true;
  // Replies or events read while starting are already off the socket.
  schedulePump();
  return true;
}

std::optional<std::string> X11Session::identityOf(const desktop::WindowInfo& info) {
  // New applications get desktop entries while the tracker runs (in applications/ or any folder
  // below it); the folders are looked at again only when a window is seen for the first time,
  // and read again only if they changed.
  if (index_.changedSinceScan()) index_ = index_.rescan();
  return desktop::applicationIdentity(info.facts, index_);
}

std::optional<std::string> X11Session::resolveNow(xcb_window_t window) {
  for (int depth = 0; depth <= kMaxTransientDepth; ++depth) {
    if (auto it = identities_.find(window); it != identities_.end()) return it->second;
    auto request = desktop::requestWindowFacts(c_, atoms_, window, withClientPids_);
    desktop::WindowInfo info = desktop::collectWindowFacts(c_, request);
    if (info.transientFor == XCB_WINDOW_NONE || info.transientFor == window ||
        info.transientFor == root_ || depth == kMaxTransientDepth) {
      auto identity = identityOf(info);
      if (identity) identities_[window] = *identity;
      return identity;
    }
    window = info.transientFor;
  }
  return std::nullopt;
}

double X11Session::secondsSinceLastInput() {
  if (!hasScreenSaver_) return 0.0;  // the server cannot tell; count the user as present
  const double sinceReading = monotonicSeconds() - lastIdleAt_;
  if (sinceReading >= 0.0 && sinceReading < kIdleReuseSeconds) return lastIdle_ + sinceReading;
  if (!lost_ && !stopped_ && !xcb_connection_has_error(c_)) {
    auto reply = queryIdleWithin(kIdleReplyTimeout);
    // Reading the reply may have taken events off the socket; they must not wait for the
    // next time the descriptor becomes readable.
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c_)) stashed_.emplace_back(event);
    if (!stashed_.empty() || !pending_.empty() || xcb_connection_has_error(c_)) schedulePump();
    if (reply) {
      lastIdle_ = reply->ms_since_user_input / 1000.0;
      lastIdleAt_ = monotonicSeconds();
      return lastIdle_;
    }
  }
  // No answer to be had: the last reading, aged.
  return lastIdle_ + (monotonicSeconds() - lastIdleAt_);
}

XcbReply<xcb_screensaver_query_info_reply_t> X11Session::queryIdleWithin(double seconds) {
  const unsigned int sequence = xcb_screensaver_query_info(c_, root_).sequence;
  xcb_flush(c_);
  const double deadline = monotonicSeconds() + seconds;
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(c_, sequence, &reply, &error) != 0) {
      std::free(error);
      return XcbReply<xcb_screensaver_query_info_reply_t>(
          static_cast<xcb_screensaver_query_info_reply_t*>(reply));
    }
    const double left = deadline - monotonicSeconds();
    if (xcb_connection_has_error(c_) || left <= 0.0) break;
    pollfd readable{xcb_get_file_descriptor(c_), POLLIN, 0};
    ::poll(&readable, 1, static_cast<int>(std::ceil(left * 1000.0)));
  }
  // The reply may still come; it is dropped then.
  if (!xcb_connection_has_error(c_)) xcb_discard_reply(c_, sequence);
  return XcbReply<xcb_screensaver_query_info_reply_t>(nullptr);
}

void X11Session::schedulePump() {
  if (pumpTimer_ || lost_) return;
  pumpTimer_ = loop_.scheduleOnce(0.0, [this] {
    pumpTimer_.reset();
    pump();
  });
}

void X11Session::track(std::function<void()> complete) {
  // GetInputFocus is the cheapest request with a reply; the replies come in order, so once
  // its reply is in, every reply of the batch before it can be read without waiting.
  unsigned int marker = xcb_get_input_focus(c_).sequence;
  pending_.push_back(Pending{marker, std::move(complete)});
}

void X11Session::pump() {
  // Leaves only when the socket, the event queue and the reply queue are all drained.
  while (!lost_) {
    xcb_flush(c_);
    bool progress = false;
    while (!stashed_.empty()) {
      auto event = std::move(stashed_.front());
      stashed_.pop_front();
      handleEvent(event.get());
      progress = true;
    }
    while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c_)}) {
      handleEvent(event.get());
      progress = true;
    }
    while (!pending_.empty()) {
      void* reply = nullptr;
      xcb_generic_error_t* error = nullptr;
      if (xcb_poll_for_reply(c_, pending_.front().marker, &reply, &error) == 0) break;
      std::free(reply);
      std::free(error);
      auto complete = std::move(pending_.front().complete);
      pending_.pop_front();
      complete();
      progress = true;
    }
    while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_queued_event(c_)}) {
      handleEvent(event.get());
      progress = true;
    }
    if (xcb_connection_has_error(c_)) {
      sessionLost();
      return;
    }
    if (!progress) return;
  }
}

void X11Session::handleEvent(const xcb_generic_event_t* event) {
  const std::uint8_t type = event->response_type & 0x7f;
  if (type == XCB_PROPERTY_NOTIFY) {
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window != root_) return;
    if (notify->atom == atoms_.netActiveWindow) queryActiveWindow();
    if (notify->atom == atoms_.netClientList) queryClientList();
  } else if (hasScreenSaver_ && type == screenSaverEvent_) {
    // Only On and Off come: cycle events are not asked for.
    const auto* notify = reinterpret_cast<const xcb_screensaver_notify_event_t*>(event);
    filter_.screenSaverChanged(notify->state == XCB_SCREENSAVER_STATE_ON);
  }
}

void X11Session::queryActiveWindow() {
  const std::uint64_t generation = ++generation_;
  auto cookie = xcb_get_property(c_, 0, root_, atoms_.netActiveWindow, XCB_ATOM_WINDOW, 0, 1);
  track([this, cookie, generation] {
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c_, cookie, nullptr));
    if (generation != generation_) return;  // a newer change is on its way
    xcb_window_t window = desktop::propertyCard32(reply.get()).value_or(XCB_WINDOW_NONE);
    activeWindow_ = window;
    if (window == XCB_WINDOW_NONE) {
      filter_.noActiveWindow();
      return;
    }
    filter_.windowActivated();
    resolveWindow(window, 0, [this, generation](const std::optional<std::string>& identity) {
      if (generation == generation_) filter_.frontChanged(identity);
    });
  });
}

void X11Session::resolveWindow(xcb_window_t window, int depth, IdentityCallback done) {
  if (auto it = identities_.find(window); it != identities_.end()) {
    done(it->second);
    return;
  }
  auto request = desktop::requestWindowFacts(c_, atoms_, window, withClientPids_);
  track([this, window, depth, request, done = std::move(done)] {
    desktop::WindowInfo info = desktop::collectWindowFacts(c_, request);
    const xcb_window_t owner = info.transientFor;
    if (owner != XCB_WINDOW_NONE && owner != window && owner != root_ &&
        depth < kMaxTransientDepth) {
      // A dialog counts for the window it belongs to.
      resolveWindow(owner, depth + 1, [this, window, done](const std::optional<std::string>& id) {
        if (id) identities_[window] = *id;
        done(id);
      });
      return;
    }
    auto identity = identityOf(info);
    // A window without an identity is asked again next time: it may not be set up yet.
    if (identity) identities_[window] = *identity;
    done(identity);
  });
}

void X11Session::queryClientList() {
  auto cookie = xcb_get_property(c_, 0, root_, atoms_.netClientList, XCB_ATOM_WINDOW, 0, 1 << 16);
  const std::uint64_t generation = generation_;
  track([this, cookie, generation] {
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c_, cookie, nullptr));
    if (!reply || reply->format != 32) return;
    // Closed windows leave the cache, so it stays as small as the desktop and a reused
    // window id is never taken for the old window.
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    std::unordered_set<xcb_window_t> live(windows,
                                          windows + xcb_get_property_value_length(reply.get()) / 4);
    std::erase_if(identities_, [&](const auto& item) { return !live.contains(item.first); });
    // Openbox, for one, leaves _NET_ACTIVE_WINDOW naming the last window after it closed when
    // nothing else takes the focus: that application is no longer in front. (Unless a newer
    // active window is on its way, which says more than this list does.)
    if (generation == generation_ && activeWindow_ != XCB_WINDOW_NONE &&
        !live.contains(activeWindow_)) {
      activeWindow_ = XCB_WINDOW_NONE;
      filter_.noActiveWindow();
    }
  });
}

void X11Session::sessionLost() {
  if (lost_) return;
  lost_ = true;
  filter_.stop();
  pending_.clear();
  stashed_.clear();
  if (watching_) {
    loop_.unwatch(xcb_get_file_descriptor(c_));
    watching_ = false;
  }
  if (lostHandler_) lostHandler_();
}

}  // namespace

std::unique_ptr<DesktopSession> connectX11Session(EventLoop& loop) {
  int screenNumber = 0;
  desktop::XcbConnection connection = desktop::connectDisplay(&screenNumber);
  if (!connection) return nullptr;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return nullptr;
  const xcb_window_t root = screens.data->root;
  auto atoms = desktop::internAtoms(connection.get());
  if (!atoms) return nullptr;
  auto session = std::make_unique<X11Session>(loop, std::move(connection), root, *atoms);
  if (!session->start()) return nullptr;
  return session;
}

}  // namespace quillmoss::tracker
