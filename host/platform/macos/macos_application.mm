// The application and its windows through NSApplication and NSWindow.
#import <AppKit/AppKit.h>

#include <vector>

#include "platform/macos/macos_platform.h"
#include "platform/macos/ns_text.h"

namespace quillmoss::host {
namespace {

class MacosWindow final : public Window {
 public:
  explicit MacosWindow(NSWindow* _Nonnull window) : window_(window) {}

  std::string className() const override {
    return fromNSString(NSStringFromClass([window_ class])).value_or(std::string());
  }
  bool isVisible() const override { return window_.visible; }
  Rect frame() const override {
    const NSRect frame = window_.frame;
    return Rect{frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
  }
  void setFrame(const Rect& frame, bool display) override {
    [window_ setFrame:NSMakeRect(frame.x, frame.y, frame.width, frame.height) display:display];
  }
  // The engine's view controller is AppKit's own, installed by the shell; no C++ controller
  // has a place in an NSWindow.
  ViewController* contentViewController() const override { return nullptr; }
  void setContentViewController(std::unique_ptr<ViewController>) override {}
  bool isReleasedWhenClosed() const override { return window_.releasedWhenClosed; }
  void setReleasedWhenClosed(bool released) override { window_.releasedWhenClosed = released; }
  void makeKeyAndOrderFront() override { [window_ makeKeyAndOrderFront:nil]; }

 private:
  NSWindow* window_;
};

class SharedApplication final : public Application {
 public:
  ActivationPolicy activationPolicy() const override {
    return static_cast<ActivationPolicy>([NSApplication sharedApplication].activationPolicy);
  }
  void setActivationPolicy(ActivationPolicy policy) override {
    [[NSApplication sharedApplication]
        setActivationPolicy:static_cast<NSApplicationActivationPolicy>(policy)];
  }
  // The adapters stay valid until the next call.
  std::vector<Window*> windows() const override {
    windows_.clear();
    std::vector<Window*> list;
    for (NSWindow* window in [NSApplication sharedApplication].windows) {
      windows_.push_back(std::make_unique<MacosWindow>(window));
      list.push_back(windows_.back().get());
    }
    return list;
  }
  void activateIgnoringOtherApps(bool ignoring) override {
    [[NSApplication sharedApplication] activateIgnoringOtherApps:ignoring];
  }
  void terminate() override { [[NSApplication sharedApplication] terminate:nil]; }

 private:
  mutable std::vector<std::unique_ptr<MacosWindow>> windows_;
};

}  // namespace

std::unique_ptr<Application> makeSharedApplication() {
  return std::make_unique<SharedApplication>();
}

}  // namespace quillmoss::host
