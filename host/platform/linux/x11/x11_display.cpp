// The kept X connection; see x11_display.h.
#include "platform/linux/x11/x11_display.h"

#include <poll.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace quillmoss::host {
namespace {

double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Takes a reply (or error) for the sequence if it is in; true when it was.
bool replyIn(xcb_connection_t* c, unsigned int sequence) {
  void* reply = nullptr;
  xcb_generic_error_t* error = nullptr;
  if (xcb_poll_for_reply(c, sequence, &reply, &error) == 0) return false;
  std::free(reply);
  std::free(error);
  return true;
}

}  // namespace

void X11Display::drop() {
  if (watched_ >= 0) loop_->unwatchReadable(watched_);
  watched_ = -1;
  owned_.reset();
  connection_ = desktop::X11Connection{};
  unanswered_.reset();
  windowCache_.clear();
}

bool X11Display::open() {
  int screenNumber = 0;
  desktop::XcbConnection c = desktop::connectDisplay(&screenNumber);
  if (!c) return false;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return false;
  auto atoms = desktop::internAtoms(c.get());
  if (!atoms) return false;
  connection_ =
      desktop::X11Connection{c.get(), screens.data->root, *atoms, desktop::hasClientPids(c.get())};
  owned_ = std::move(c);
  if (loop_ != nullptr) {
    watched_ = xcb_get_file_descriptor(owned_.get());
    loop_->watchReadable(watched_, [weak = weak_from_this()] {
      if (auto self = weak.lock()) self->readEvents();
    });
  }
  return true;
}

void X11Display::readEvents() {
  if (!owned_) return;
  // Besides what listings select, errors of requests whose replies were read without asking
  // for them (a window that went away meanwhile) come as events.
  while (xcb_generic_event_t* event = xcb_poll_for_event(owned_.get())) {
    windowCache_.noteEvent(*event, connection_.atoms, connection_.root);
    std::free(event);
  }
  if (xcb_connection_has_error(owned_.get())) drop();
}

const desktop::X11Connection* X11Display::connection() {
  if (owned_) readEvents();
  if (!owned_ && !open()) return nullptr;
  if (unanswered_) {
    if (!replyIn(owned_.get(), *unanswered_)) return nullptr;
    unanswered_.reset();
  }
  return &connection_;
}

bool X11Display::awaitReplies() {
  if (!owned_) return false;
  xcb_connection_t* c = owned_.get();
  // GetInputFocus is the cheapest request with a reply; replies come in order, so once its
  // reply is in, every earlier one can be read without waiting.
  const unsigned int marker = xcb_get_input_focus(c).sequence;
  xcb_flush(c);
  const double deadline = monotonicSeconds() + kReplySeconds;
  for (;;) {
    if (replyIn(c, marker)) return !xcb_connection_has_error(c);
    const double left = deadline - monotonicSeconds();
    if (xcb_connection_has_error(c) || left <= 0.0) break;
    pollfd readable{xcb_get_file_descriptor(c), POLLIN, 0};
    ::poll(&readable, 1, static_cast<int>(std::ceil(left * 1000.0)));
  }
  if (!xcb_connection_has_error(c)) unanswered_ = marker;
  return false;
}

}  // namespace quillmoss::host
