// The idle time from GNOME's idle monitor on the session bus (Mutter), asked on each reading.
#include "core/monotonic_clock.h"
#include "platform/linux/session_candidates.h"
#include "platform/linux/wayland/wayland_link.h"

namespace quillmoss::tracker {
namespace {

constexpr char kGnomeIdleMonitor[] = "org.gnome.Mutter.IdleMonitor";
// Reuse a reading this fresh instead of another round trip (one flush asks twice).
constexpr double kIdleReuseSeconds = 0.1;

class GnomeIdle final : public IdleSource {
 public:
  explicit GnomeIdle(std::shared_ptr<WaylandLink> link) : link_(std::move(link)) {}

  double secondsSinceLastInput() override {
    const double now = monotonicSeconds();
    if (now - lastIdleAt_ >= 0.0 && now - lastIdleAt_ < kIdleReuseSeconds) {
      return lastIdle_ + (now - lastIdleAt_);
    }
    if (!link_->lost()) {
      auto reply = desktop::callSync(link_->sessionBus(), kGnomeIdleMonitor,
                                     "/org/gnome/Mutter/IdleMonitor/Core", kGnomeIdleMonitor,
                                     "GetIdletime", nullptr, "(t)");
      if (reply) {
        guint64 ms = 0;
        g_variant_get(reply->get(), "(t)", &ms);
        lastIdle_ = static_cast<double>(ms) / 1000.0;
        lastIdleAt_ = now;
        return lastIdle_;
      }
    }
    // The monitor did not answer: the last reading, aged.
    return lastIdleAt_ < 0.0 ? 0.0 : lastIdle_ + (now - lastIdleAt_);
  }

 private:
  std::shared_ptr<WaylandLink> link_;
  double lastIdle_ = 0.0, lastIdleAt_ = -1.0;
};

}  // namespace

IdleMade gnomeIdleMonitor(SessionContext& context) {
  auto link = WaylandLink::of(context);
  if (!link) return link.error();
  GDBusConnection* bus = (*link)->sessionBus();
  if (bus == nullptr || !desktop::nameHasOwner(bus, kGnomeIdleMonitor)) {
    return desktop::cannotServe("not on the session bus");
  }
  return std::unique_ptr<IdleSource>(std::make_unique<GnomeIdle>(*link));
}

}  // namespace quillmoss::tracker
