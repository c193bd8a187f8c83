// The idle time from a compositor that says only "no input for T" and "input again"
// (ext-idle-notify-v1, org_kde_kwin_idle): its notices, read on the link, feed an estimate.
#pragma once

#include <wayland-client.h>

#include <memory>

#include "core/monotonic_clock.h"
#include "platform/idle.h"
#include "platform/linux/wayland/idle_estimate.h"
#include "platform/linux/wayland/wayland_link.h"

namespace quillmoss::tracker {

// The protocol's objects carry `this`; a subclass destroys them in its destructor, before the
// seat and the link go.
class ProtocolIdle : public IdleSource {
 public:
  static constexpr auto kNoticeMs = static_cast<std::uint32_t>(IdleEstimate::kNoticeSeconds * 1000);

  explicit ProtocolIdle(std::shared_ptr<WaylandLink> link)
      : link_(std::move(link)),
        seat_(static_cast<wl_seat*>(link_->display().bind(&wl_seat_interface, 1))) {}
  ~ProtocolIdle() override {
    if (seat_ != nullptr) wl_seat_destroy(seat_);
  }
  ProtocolIdle(const ProtocolIdle&) = delete;
  ProtocolIdle& operator=(const ProtocolIdle&) = delete;

  double secondsSinceLastInput() override { return estimate_.secondsSinceLastInput(now()); }

 protected:
  static double now() { return monotonicSeconds(); }

  std::shared_ptr<WaylandLink> link_;
  wl_seat* seat_;  // null when the compositor has none
  IdleEstimate estimate_;
};

}  // namespace quillmoss::tracker
