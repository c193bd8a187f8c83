// The status bar through NSStatusBar, NSStatusItem and its button.
#import <AppKit/AppKit.h>

#include <functional>
#include <utility>

#include "platform/macos/macos_platform.h"
#include "platform/macos/ns_text.h"

// The button's target: AppKit holds targets weakly, so the button adapter owns it.
@interface QMButtonAction : NSObject
- (void)perform:(nullable id)sender;
@property(nonatomic) std::function<void()> action;
@end

@implementation QMButtonAction
- (void)perform:(nullable id)sender {
  if (_action) _action();
}
@end

namespace quillmoss::host {
namespace {

NSFontWeight nsWeight(FontWeight weight) {
  switch (weight) {
    case FontWeight::regular:
      return NSFontWeightRegular;
    case FontWeight::medium:
      return NSFontWeightMedium;
    case FontWeight::semibold:
      return NSFontWeightSemibold;
    case FontWeight::bold:
      return NSFontWeightBold;
  }
  return NSFontWeightRegular;
}

class MacosStatusBarButton final : public StatusBarButton {
 public:
  explicit MacosStatusBarButton(NSStatusBarButton* _Nonnull button) : button_(button) {}

  void setTitle(const std::string& title) override { button_.title = toNSString(title); }

  void setFont(const Font& font) override {
    button_.font = font.family == FontFamily::monospacedDigitSystem
                       ? [NSFont monospacedDigitSystemFontOfSize:font.pointSize
                                                          weight:nsWeight(font.weight)]
                       : [NSFont systemFontOfSize:font.pointSize weight:nsWeight(font.weight)];
  }

  void setAction(std::function<void()> action) override {
    target_ = [[QMButtonAction alloc] init];
    target_.action = std::move(action);
    button_.action = @selector(perform:);
    button_.target = target_;
  }

 private:
  NSStatusBarButton* button_;
  QMButtonAction* target_;
};

class MacosStatusItem final : public StatusItem {
 public:
  explicit MacosStatusItem(NSStatusItem* _Nonnull item) : item_(item) {
    if (NSStatusBarButton* button = item.button) button_.emplace(button);
  }

  StatusBarButton* button() override { return button_ ? &*button_ : nullptr; }
  NSStatusItem* _Nonnull item() const { return item_; }

 private:
  NSStatusItem* item_;
  std::optional<MacosStatusBarButton> button_;
};

class SystemStatusBar final : public StatusBar {
 public:
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override {
    return std::make_shared<MacosStatusItem>(
        [[NSStatusBar systemStatusBar] statusItemWithLength:length]);
  }

  void removeStatusItem(const std::shared_ptr<StatusItem>& item) override {
    // Only this bar makes items, so every item it is given is one of ours.
    if (auto* ours = dynamic_cast<MacosStatusItem*>(item.get())) {
      [[NSStatusBar systemStatusBar] removeStatusItem:ours->item()];
    }
  }
};

}  // namespace

std::unique_ptr<StatusBar> makeSystemStatusBar() {
  return std::make_unique<SystemStatusBar>();
}

}  // namespace quillmoss::host
