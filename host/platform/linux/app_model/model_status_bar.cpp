// In-process status bar state.
#include "platform/linux/app_model/model_status_bar.h"

#include <algorithm>

namespace quillmoss::appkit_model {

void ModelStatusBarButton::setTitle(const std::string& title) {
  title_ = title;
  ++titleChanges_;
}

void ModelStatusBarButton::setFont(const host::Font& font) {
  font_ = font;
  ++fontChanges_;
}

void ModelStatusBarButton::click() {
  // Copied, so the action may replace itself while it runs.
  if (auto action = action_) action();
}

std::shared_ptr<host::StatusItem> ModelStatusBar::statusItemWithLength(double length) {
  items_.push_back(std::make_shared<ModelStatusItem>(length));
  return items_.back();
}

void ModelStatusBar::removeStatusItem(const std::shared_ptr<host::StatusItem>& item) {
  std::erase_if(items_, [&](const auto& held) { return held.get() == item.get(); });
}

}  // namespace quillmoss::appkit_model
