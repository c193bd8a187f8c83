// The shared X connection; see x11_link.h.
#include "platform/linux/x11/x11_link.h"

#include <xcb/screensaver.h>
#include <xcb/xcbext.h>

#include <cstdlib>

namespace quillmoss::tracker {

Expected<std::shared_ptr<X11Link>> X11Link::of(SessionContext& context) {
  return context.x11.get(context.settled, [&]() -> Expected<std::shared_ptr<X11Link>> {
    auto display = desktop::openDisplay();
    if (!display) return display.error();
    return std::make_shared<X11Link>(context.loop, std::move(*display));
  });
}

X11Link::X11Link(EventLoop& loop, desktop::OpenedDisplay display)
    : loop_(loop), connection_(std::move(display.owned)), x_(display.x), c_(x_.c) {
  if (const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_screensaver_id);
      ext != nullptr && ext->present) {
    hasScreenSaver_ = true;
    screenSaverEvent_ = static_cast<std::uint8_t>(ext->first_event + XCB_SCREENSAVER_NOTIFY);
  }
}

X11Link::~X11Link() {
  if (pumpTimer_) loop_.cancel(*pumpTimer_);
  if (watching_) loop_.unwatch(xcb_get_file_descriptor(c_));
}

void X11Link::watch(std::function<void(const xcb_generic_event_t*)> handler) {
  eventHandler_ = std::move(handler);
  loop_.watchReadable(xcb_get_file_descriptor(c_), [this] { pump(); });
  watching_ = true;
  // Replies or events read while starting are already off the socket.
  schedulePump();
}

void X11Link::track(std::function<void()> complete) {
  // GetInputFocus is the cheapest request with a reply; the replies come in order, so once
  // its reply is in, every reply of the batch before it can be read without waiting.
  unsigned int marker = xcb_get_input_focus(c_).sequence;
  pending_.push_back(Pending{marker, std::move(complete)});
  schedulePump();
}

void X11Link::afterBlockingRead() {
  while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c_)) stashed_.emplace_back(event);
  if (!stashed_.empty() || !pending_.empty() || xcb_connection_has_error(c_)) schedulePump();
}

void X11Link::schedulePump() {
  if (pumpTimer_ || lost_) return;
  pumpTimer_ = loop_.scheduleOnce(0.0, [this] {
    pumpTimer_.reset();
    pump();
  });
}

void X11Link::pump() {
  // Leaves only when the socket, the event queue and the reply queue are all drained.
  while (!lost_) {
    xcb_flush(c_);
    bool progress = false;
    while (!stashed_.empty()) {
      auto event = std::move(stashed_.front());
      stashed_.pop_front();
      if (eventHandler_) eventHandler_(event.get());
      progress = true;
    }
    while (desktop::XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c_)}) {
      if (eventHandler_) eventHandler_(event.get());
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
    while (desktop::XcbReply<xcb_generic_event_t> event{xcb_poll_for_queued_event(c_)}) {
      if (eventHandler_) eventHandler_(event.get());
      progress = true;
    }
    if (xcb_connection_has_error(c_)) {
      sessionLost();
      return;
    }
    if (!progress) return;
  }
}

void X11Link::sessionLost() {
  if (lost_) return;
  lost_ = true;
  pending_.clear();
  stashed_.clear();
  if (watching_) {
    loop_.unwatch(xcb_get_file_descriptor(c_));
    watching_ = false;
  }
  if (lostHandler_) lostHandler_();
}

}  // namespace quillmoss::tracker
