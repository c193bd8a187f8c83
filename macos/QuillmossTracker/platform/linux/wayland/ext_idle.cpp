// The idle time from ext-idle-notify-v1, the standard protocol (wlroots compositors and others).
#include "platform/linux/session_candidates.h"
#include "platform/linux/wayland/protocol_idle.h"
#include "wayland_protocols/ext_idle_notify.h"

namespace quillmoss::tracker {
namespace {

class ExtIdle final : public ProtocolIdle {
 public:
  using ProtocolIdle::ProtocolIdle;
  ~ExtIdle() override {
    if (notification_ != nullptr) ext_idle_notification_v1_destroy(notification_);
    if (notifier_ != nullptr) ext_idle_notifier_v1_destroy(notifier_);
  }

  bool start() {
    static constexpr ext_idle_notification_v1_listener kListener = {.idled = onIdled,
                                                                    .resumed = onResumed};
    if (seat_ == nullptr) return false;
    notifier_ = static_cast<ext_idle_notifier_v1*>(
        link_->display().bind(&ext_idle_notifier_v1_interface, 1));
    if (notifier_ == nullptr) return false;
    notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, kNoticeMs, seat_);
    ext_idle_notification_v1_add_listener(notification_, &kListener, this);
    return true;
  }

 private:
  static void onIdled(void* data, ext_idle_notification_v1*) {
    static_cast<ExtIdle*>(data)->estimate_.idled(now());
  }
  static void onResumed(void* data, ext_idle_notification_v1*) {
    static_cast<ExtIdle*>(data)->estimate_.resumed();
  }

  ext_idle_notifier_v1* notifier_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
};

}  // namespace

IdleMade extIdleNotify(SessionContext& context) {
  auto link = WaylandLink::of(context);
  if (!link) return link.error();
  auto idle = std::make_unique<ExtIdle>(*link);
  if (!idle->start()) return desktop::cannotServe((*link)->described() + " does not offer it");
  if (auto sent = (*link)->flush(); !sent) return sent.error();
  return std::unique_ptr<IdleSource>(std::move(idle));
}

}  // namespace quillmoss::tracker
