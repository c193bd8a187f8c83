// The idle time from org_kde_kwin_idle (KWin before ext-idle-notify-v1).
#include "wayland_protocols/kde_idle.h"
#include "platform/linux/session_candidates.h"
#include "platform/linux/wayland/protocol_idle.h"

namespace quillmoss::tracker {
namespace {

class KdeIdle final : public ProtocolIdle {
 public:
  using ProtocolIdle::ProtocolIdle;
  ~KdeIdle() override {
    if (notification_ != nullptr) org_kde_kwin_idle_timeout_release(notification_);
    if (notifier_ != nullptr) org_kde_kwin_idle_destroy(notifier_);
  }

  bool start() {
    static constexpr org_kde_kwin_idle_timeout_listener kListener = {.idle = onIdled,
                                                                     .resumed = onResumed};
    if (seat_ == nullptr) return false;
    notifier_ =
        static_cast<org_kde_kwin_idle*>(link_->display().bind(&org_kde_kwin_idle_interface, 1));
    if (notifier_ == nullptr) return false;
    notification_ = org_kde_kwin_idle_get_idle_timeout(notifier_, seat_, kNoticeMs);
    org_kde_kwin_idle_timeout_add_listener(notification_, &kListener, this);
    return true;
  }

 private:
  static void onIdled(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<KdeIdle*>(data)->estimate_.idled(now());
  }
  static void onResumed(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<KdeIdle*>(data)->estimate_.resumed();
  }

  org_kde_kwin_idle* notifier_ = nullptr;
  org_kde_kwin_idle_timeout* notification_ = nullptr;
};

}  // namespace

IdleMade kdeKwinIdle(SessionContext& context) {
  auto link = WaylandLink::of(context);
  if (!link) return link.error();
  auto idle = std::make_unique<KdeIdle>(*link);
  if (!idle->start()) return desktop::cannotServe((*link)->described() + " does not offer it");
  if (auto sent = (*link)->flush(); !sent) return sent.error();
  return std::unique_ptr<IdleSource>(std::move(idle));
}

}  // namespace quillmoss::tracker
