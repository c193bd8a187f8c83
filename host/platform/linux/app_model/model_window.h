// An in-process window: what AppKit's NSWindow keeps, driven and read by the shell and tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/window.h"

namespace quillmoss::appkit_model {

enum class BackingStoreType { buffered = 2 };

class ModelWindow : public host::Window {
 public:
  // The counterpart of initWithContentRect:styleMask:backing:defer:.
  ModelWindow(const host::Rect& contentRect, std::uint64_t styleMask, BackingStoreType backing,
              bool defer);

  std::string className() const override { return "NSWindow"; }
  bool isVisible() const override { return visible_; }
  host::Rect frame() const override { return frame_; }
  void setFrame(const host::Rect& frame, bool display) override;
  host::ViewController* contentViewController() const override { return controller_.get(); }
  void setContentViewController(std::unique_ptr<host::ViewController> controller) override;
  bool isReleasedWhenClosed() const override { return releasedWhenClosed_; }
  void setReleasedWhenClosed(bool released) override { releasedWhenClosed_ = released; }
  void makeKeyAndOrderFront() override;

  // Hides the window as close: does; the application decides what follows.
  void close() { visible_ = false; }
  void orderFront() { visible_ = true; }

  std::uint64_t styleMask() const { return styleMask_; }
  BackingStoreType backing() const { return backing_; }
  bool isDeferred() const { return defer_; }
  int makeKeyAndOrderFrontCount() const { return makeKeyCount_; }
  int displayCount() const { return displayCount_; }

 private:
  host::Rect frame_;
  std::uint64_t styleMask_;
  BackingStoreType backing_;
  bool defer_;
  bool visible_ = false;
  bool releasedWhenClosed_ = true;  // AppKit's default for windows
  int makeKeyCount_ = 0;
  int displayCount_ = 0;
  std::unique_ptr<host::ViewController> controller_;
};

}  // namespace quillmoss::appkit_model
