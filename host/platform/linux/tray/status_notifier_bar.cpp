// Status items and their buttons over StatusNotifierItems.
#include "platform/linux/tray/status_notifier_bar.h"

namespace quillmoss::host {

namespace {

class TrayButton final : public StatusBarButton {
 public:
  void setTitle(const std::string& title) override {
    if (item) item->setTitle(title);
  }
  void setFont(const Font&) override {}  // the panel draws text in its own font
  void setAction(std::function<void()> action) override { this->action = std::move(action); }

  std::unique_ptr<StatusNotifierItem> item;  // none once removed
  std::function<void()> action;
};

class TrayStatusItem final : public StatusItem {
 public:
  StatusBarButton* button() override { return &button_; }
  TrayButton& trayButton() { return button_; }

 private:
  TrayButton button_;
};

}  // namespace

std::shared_ptr<StatusItem> StatusNotifierBar::statusItemWithLength(double) {
  auto item = std::make_shared<TrayStatusItem>();
  std::weak_ptr<TrayStatusItem> weak = item;
  item->trayButton().item =
      std::make_unique<StatusNotifierItem>(loop_, glib_, options_, [weak, this] {
        auto held = weak.lock();
        if (!held) return;
        // Copied, so the action may replace itself or remove the item while it runs.
        if (auto action = held->trayButton().action) action();
        if (activated_) activated_();
      });
  return item;
}

void StatusNotifierBar::removeStatusItem(const std::shared_ptr<StatusItem>& item) {
  if (auto* tray = dynamic_cast<TrayStatusItem*>(item.get())) tray->trayButton().item.reset();
}

}  // namespace quillmoss::host
