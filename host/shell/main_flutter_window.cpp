// The main window's set-up after the interface file made it.
#include "shell/main_flutter_window.h"

#include "shell/generated_plugin_registrant.h"

namespace quillmoss::host {

void MainFlutterWindow::awakeFromNib() {
  auto controller = std::make_unique<FlutterViewController>(project_);
  FlutterViewController* registry = controller.get();
  const Rect windowFrame = frame();
  setContentViewController(std::move(controller));
  // Installing the controller resizes the window; the interface file's frame wins.
  setFrame(windowFrame, true);
  RegisterGeneratedPlugins(registry);
  setReleasedWhenClosed(false);
  ModelWindow::awakeFromNib();
}

}  // namespace quillmoss::host
