// The system status bar: items with a button that shows a title in a font and runs an action.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/font.h"

namespace quillmoss::host {

// AppKit's length for an item that sizes itself to its content.
inline constexpr double kVariableStatusItemLength = -1.0;

class StatusBarButton {
 public:
  virtual ~StatusBarButton() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setFont(const Font& font) = 0;
  // The action runs on the main thread when the user clicks the button.
  virtual void setAction(std::function<void()> action) = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;
  // Null when the item has no button.
  virtual StatusBarButton* button() = 0;
};

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  // The bar shows the item until removeStatusItem; the caller keeps it alive meanwhile.
  virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;
  virtual void removeStatusItem(const std::shared_ptr<StatusItem>& item) = 0;
};

}  // namespace quillmoss::host
