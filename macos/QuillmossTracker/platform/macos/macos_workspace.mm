// The frontmost application and its activations through NSWorkspace.
#import <AppKit/AppKit.h>

#include "platform/macos/macos_tracker_ports.h"

namespace quillmoss::tracker {
namespace {

std::optional<std::string> bundleIdOf(NSRunningApplication* _Nullable application) {
  const char* bundleId = application.bundleIdentifier.UTF8String;
  if (bundleId == nullptr) return std::nullopt;
  return std::string(bundleId);
}

class MacosWorkspace final : public Workspace {
 public:
  ~MacosWorkspace() override {
    if (observer_ != nil) {
      [[NSWorkspace sharedWorkspace].notificationCenter removeObserver:observer_];
    }
  }

  std::optional<std::string> frontmostBundleId() override {
    return bundleIdOf([NSWorkspace sharedWorkspace].frontmostApplication);
  }

  void observeActivations(ActivationHandler handler) override {
    if (observer_ != nil) return;
    // The block holds only the handler; it is removed with this object.
    observer_ = [[NSWorkspace sharedWorkspace].notificationCenter
        addObserverForName:NSWorkspaceDidActivateApplicationNotification
                    object:nil
                     queue:[NSOperationQueue mainQueue]
                usingBlock:^(NSNotification* _Nonnull notification) {
                  id application = notification.userInfo[NSWorkspaceApplicationKey];
                  if (![application isKindOfClass:[NSRunningApplication class]]) {
                    handler(std::nullopt);
                    return;
                  }
                  handler(bundleIdOf(application));
                }];
  }

 private:
  id<NSObject> observer_;
};

}  // namespace

std::unique_ptr<Workspace> makeMacosWorkspace() {
  return std::make_unique<MacosWorkspace>();
}

}  // namespace quillmoss::tracker
