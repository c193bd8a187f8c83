// An in-process application: policy, windows, activation, the delegate's launch, close and
// reopen callbacks, and termination that ends the main loop. Tests drive user events here.
#pragma once

#include <memory>
#include <vector>

#include "core/event_loop.h"
#include "platform/application.h"
#include "platform/application_delegate.h"
#include "platform/linux/app_model/model_window.h"

namespace quillmoss::appkit_model {

class ModelApplication : public host::Application {
 public:
  // Starts with the policy the bundle's property list gives; the loop must outlive the model.
  explicit ModelApplication(EventLoop& loop,
                            host::ActivationPolicy launchPolicy = host::ActivationPolicy::regular);

  host::ActivationPolicy activationPolicy() const override { return policy_; }
  void setActivationPolicy(host::ActivationPolicy policy) override { policy_ = policy; }
  std::vector<host::Window*> windows() const override;
  void activateIgnoringOtherApps(bool ignoring) override;
  void terminate() override;

  // Not owned; set by the interface file before launch.
  void setDelegate(host::ApplicationDelegate* delegate) { delegate_ = delegate; }
  host::ApplicationDelegate* delegate() const { return delegate_; }
  // The application keeps its windows in the order added.
  ModelWindow& addWindow(std::unique_ptr<ModelWindow> window);

  // Tells the delegate that launching has finished.
  void finishLaunching();
  // Runs the main loop until terminate(); returns its status.
  int run();

  // User events. A close by the user hides the window, releases it when it is released on
  // close, and after the last visible window asks the delegate whether to quit.
  void userClosedWindow(ModelWindow& window);
  // The user opens the running application again (Dock icon, launcher).
  bool userReopened();

  bool isTerminated() const { return terminated_; }
  int activationCount() const { return activationCount_; }
  bool lastActivationIgnoredOthers() const { return lastIgnoredOthers_; }
  bool hasVisibleWindows() const;

 private:
  EventLoop& loop_;
  host::ActivationPolicy policy_;
  host::ApplicationDelegate* delegate_ = nullptr;
  std::vector<std::unique_ptr<ModelWindow>> windows_;
  bool terminated_ = false;
  int activationCount_ = 0;
  bool lastIgnoredOthers_ = false;
};

}  // namespace quillmoss::appkit_model
