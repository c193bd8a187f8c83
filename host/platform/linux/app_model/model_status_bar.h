// An in-process status bar: the items shown, their buttons' titles, fonts and click actions.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/status_bar.h"

namespace quillmoss::appkit_model {

class ModelStatusBarButton : public host::StatusBarButton {
 public:
  void setTitle(const std::string& title) override;
  void setFont(const host::Font& font) override;
  void setAction(std::function<void()> action) override { action_ = std::move(action); }

  const std::string& title() const { return title_; }
  int titleChanges() const { return titleChanges_; }
  const std::optional<host::Font>& font() const { return font_; }
  int fontChanges() const { return fontChanges_; }
  // A click by the user: runs the action, if any.
  void click();

 private:
  std::string title_;
  int titleChanges_ = 0;
  std::optional<host::Font> font_;
  int fontChanges_ = 0;
  std::function<void()> action_;
};

class ModelStatusItem : public host::StatusItem {
 public:
  explicit ModelStatusItem(double length) : length_(length) {}
  host::StatusBarButton* button() override { return &button_; }
  ModelStatusBarButton& modelButton() { return button_; }
  double length() const { return length_; }

 private:
  double length_;
  ModelStatusBarButton button_;
};

class ModelStatusBar : public host::StatusBar {
 public:
  std::shared_ptr<host::StatusItem> statusItemWithLength(double length) override;
  void removeStatusItem(const std::shared_ptr<host::StatusItem>& item) override;

  // The items in the bar, oldest first.
  const std::vector<std::shared_ptr<ModelStatusItem>>& items() const { return items_; }

 private:
  std::vector<std::shared_ptr<ModelStatusItem>> items_;
};

}  // namespace quillmoss::appkit_model
