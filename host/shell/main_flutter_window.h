// MainFlutterWindow: the one main window; its content is the UI engine's view controller,
// and it survives being closed so the same engine can be shown again.
#pragma once

#include "platform/linux/app_model/model_window.h"
#include "shell/flutter_view_controller.h"

namespace quillmoss::host {

class MainFlutterWindow : public appkit_model::ModelWindow {
 public:
  // The four window arguments go to the base unchanged; the project is the engine to show.
  MainFlutterWindow(const Rect& contentRect, std::uint64_t styleMask,
                    appkit_model::BackingStoreType backing, bool defer,
                    const FlutterProject& project)
      : ModelWindow(contentRect, styleMask, backing, defer), project_(project) {}

  std::string className() const override { return "MainFlutterWindow"; }
  void awakeFromNib() override;

 private:
  FlutterProject project_;
};

}  // namespace quillmoss::host
