// In-process window state.
#include "platform/linux/app_model/model_window.h"

namespace quillmoss::appkit_model {

ModelWindow::ModelWindow(const host::Rect& contentRect, std::uint64_t styleMask,
                         BackingStoreType backing, bool defer)
    : frame_(contentRect), styleMask_(styleMask), backing_(backing), defer_(defer) {}

void ModelWindow::setFrame(const host::Rect& frame, bool display) {
  frame_ = frame;
  if (display) ++displayCount_;
}

void ModelWindow::setContentViewController(std::unique_ptr<host::ViewController> controller) {
  // As in AppKit, the window takes on the size the content asks for.
  if (controller) frame_ = controller->preferredContentFrame();
  controller_ = std::move(controller);
}

void ModelWindow::makeKeyAndOrderFront() {
  visible_ = true;
  ++makeKeyCount_;
}

}  // namespace quillmoss::appkit_model
