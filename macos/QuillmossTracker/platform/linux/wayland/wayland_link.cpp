// The shared Wayland session connection; see wayland_link.h.
#include "platform/linux/wayland/wayland_link.h"

#include "platform/linux/carried_module.h"

#include <cstdlib>

namespace quillmoss::tracker {
namespace {

desktop::BusPtr open(GBusType type) {
  auto bus = desktop::openBus(type);
  return bus ? std::move(*bus) : nullptr;
}

}  // namespace

Expected<std::shared_ptr<WaylandLink>> WaylandLink::of(SessionContext& context) {
  return context.wayland.get(context.settled, [&]() -> Expected<std::shared_ptr<WaylandLink>> {
    const char* variable = std::getenv("WAYLAND_DISPLAY");
    const std::string name = variable != nullptr ? variable : "";
    auto display = desktop::WaylandDisplay::connect();
    if (!display) {
      return desktop::cannotServe(
          name.empty() ? kNoWaylandDisplay : "the Wayland display " + name + " cannot be reached");
    }
    return std::make_shared<WaylandLink>(context.loop, std::move(display), name);
  });
}

WaylandLink::WaylandLink(EventLoop& loop, std::unique_ptr<desktop::WaylandDisplay> display,
                         std::string name)
    : loop_(loop),
      display_(std::move(display)),
      name_(std::move(name)),
      glib_(loop),
      session_(open(G_BUS_TYPE_SESSION)),
      system_(open(G_BUS_TYPE_SYSTEM)) {
  loop_.watchReadable(display_->fd(), [this] {
    if (!display_->dispatch()) sessionLost();
  });
  watching_ = true;
}

WaylandLink::~WaylandLink() {
  if (watching_) loop_.unwatch(display_->fd());
  if (closedHandler_ != 0) g_signal_handler_disconnect(session_.get(), closedHandler_);
}

Status WaylandLink::flush() {
  glib_.refresh();
  if (!display_->flush()) return desktop::cannotServe(described() + " stopped answering");
  return {};
}

void WaylandLink::endWithSessionBus() {
  if (closedHandler_ == 0 && session_) {
    closedHandler_ = g_signal_connect(session_.get(), "closed", G_CALLBACK(onBusClosed), this);
  }
}

void WaylandLink::sessionLost() {
  if (lost_) return;
  lost_ = true;
  if (watching_) {
    loop_.unwatch(display_->fd());
    watching_ = false;
  }
  if (lostHandler_) lostHandler_();
}

}  // namespace quillmoss::tracker
