// The kept X connection; see x11_display.h.
#include "platform/linux/x11/x11_display.h"

#include <xcb/xcbext.h>

#include <cstdlib>

namespace quillmoss::host {
namespace {

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
  auto display = desktop::openDisplay();
  if (!display) return false;
  owned_ = std::move(display->owned);
  connection_ = display->x;
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
  if (desktop::awaitReply(c, marker, kReplySeconds)) return !xcb_connection_has_error(c);
  if (!xcb_connection_has_error(c)) unanswered_ = marker;
  return false;
}

}  // namespace quillmoss::host
