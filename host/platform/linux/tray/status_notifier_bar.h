// The status bar on a Linux desktop: each item shows in the panels' trays as a
// StatusNotifierItem, its button's title as the item's title, tooltip and label.
#pragma once

#include <functional>
#include <memory>

#include "core/event_loop.h"
#include "linux_desktop/glib_context.h"
#include "platform/linux/tray/status_notifier_item.h"
#include "platform/status_bar.h"

namespace quillmoss::host {

class StatusNotifierBar final : public StatusBar {
 public:
  // A click on an item runs its button's action, then `activated`: what a click does on this
  // desktop besides. The loop and glib outlive the bar; its items go before it.
  StatusNotifierBar(EventLoop& loop, desktop::GlibContext& glib, StatusNotifierOptions options,
                    std::function<void()> activated = nullptr)
      : loop_(loop), glib_(glib), options_(std::move(options)), activated_(std::move(activated)) {}

  // Published at once; the length is the panel's business.
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
  // Withdrawn from every tray; an item dropped without this is withdrawn as it goes.
  void removeStatusItem(const std::shared_ptr<StatusItem>& item) override;

 private:
  EventLoop& loop_;
  desktop::GlibContext& glib_;
  StatusNotifierOptions options_;
  std::function<void()> activated_;
};

}  // namespace quillmoss::host
