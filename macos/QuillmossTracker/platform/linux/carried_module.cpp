// The entry point of the module the tracker carries; see carried_module.h.
#include "platform/linux/carried_module.h"

#include "linux_desktop/glib_context.h"
#include "platform/linux/atspi/browser_tabs.h"

namespace quillmoss::tracker {
namespace {

// The pages and their context, in the order they must go.
class BusBrowserTabs final : public TabAddresses {
 public:
  BusBrowserTabs(EventLoop& loop, FrontWindowQuery frontWindow)
      : glib_(loop), pages_(loop, glib_), tabs_(pages_, std::move(frontWindow)) {}

  bool isBrowser(const std::string& bundleId) override { return tabs_.isBrowser(bundleId); }
  void ask(const std::string& bundleId, Done done) override {
    tabs_.ask(bundleId, std::move(done));
  }

 private:
  desktop::GlibContext glib_;
  atspi::ShowingPages pages_;
  atspi::BrowserTabs tabs_;
};

std::unique_ptr<TabAddresses> browserTabs(EventLoop& loop, FrontWindowQuery frontWindow) {
  return std::make_unique<BusBrowserTabs>(loop, std::move(frontWindow));
}

}  // namespace
}  // namespace quillmoss::tracker

extern "C" __attribute__((visibility("default"))) const quillmoss::tracker::CarriedMechanisms*
quillmoss_carried_mechanisms() {
  using namespace quillmoss::tracker;
  static const CarriedMechanisms mechanisms{
      wlrToplevelWorkspace, kwinScriptWorkspace, gnomeExtensionWorkspace,
      extIdleNotify,        kdeKwinIdle,         gnomeIdleMonitor,
      browserTabs};
  return &mechanisms;
}
