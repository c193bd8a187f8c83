// In-process application state and the AppKit rules around closing and reopening.
#include "platform/linux/app_model/model_application.h"

#include <algorithm>

namespace quillmoss::appkit_model {

ModelApplication::ModelApplication(EventLoop& loop, host::ActivationPolicy launchPolicy)
    : loop_(loop), policy_(launchPolicy) {}

std::vector<host::Window*> ModelApplication::windows() const {
  std::vector<host::Window*> list;
  list.reserve(windows_.size());
  for (const auto& window : windows_) list.push_back(window.get());
  return list;
}

void ModelApplication::activateIgnoringOtherApps(bool ignoring) {
  ++activationCount_;
  lastIgnoredOthers_ = ignoring;
}

void ModelApplication::terminate() {
  if (terminated_) return;
  terminated_ = true;
  loop_.quit(0);
}

ModelWindow& ModelApplication::addWindow(std::unique_ptr<ModelWindow> window) {
  windows_.push_back(std::move(window));
  return *windows_.back();
}

void ModelApplication::finishLaunching() {
  if (delegate_) delegate_->applicationDidFinishLaunching(*this);
}

int ModelApplication::run() {
  return loop_.run();
}

bool ModelApplication::hasVisibleWindows() const {
  return std::any_of(windows_.begin(), windows_.end(),
                     [](const auto& window) { return window->isVisible(); });
}

void ModelApplication::userClosedWindow(ModelWindow& window) {
  if (!window.isVisible()) return;
  window.close();
  if (window.isReleasedWhenClosed()) {
    std::erase_if(windows_, [&](const auto& held) { return held.get() == &window; });
  }
  if (hasVisibleWindows()) return;
  if (delegate_ && delegate_->applicationShouldTerminateAfterLastWindowClosed(*this)) terminate();
}

bool ModelApplication::userReopened() {
  if (!delegate_) return true;
  return delegate_->applicationShouldHandleReopen(*this, hasVisibleWindows());
}

}  // namespace quillmoss::appkit_model
