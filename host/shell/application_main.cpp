// Interface file loading and the launch order.
#include "shell/application_main.h"

namespace quillmoss::host {

MainInterface launchApplication(const ShellEnvironment& environment) {
  appkit_model::ModelApplication& application = *environment.application;
  MainInterface interface;
  interface.delegate = std::make_unique<AppDelegate>(environment.bridges);
  auto window = std::make_unique<MainFlutterWindow>(kMainWindowFrame, kMainWindowStyle,
                                                    appkit_model::BackingStoreType::buffered, false,
                                                    environment.project);
  interface.window = window.get();
  application.addWindow(std::move(window));
  interface.delegate->setMainFlutterWindow(interface.window);
  application.setDelegate(interface.delegate.get());
  interface.window->awakeFromNib();
  // Visible at launch, as the interface file has it.
  interface.window->orderFront();
  application.finishLaunching();
  return interface;
}

int applicationMain(const ShellEnvironment& environment) {
  MainInterface interface = launchApplication(environment);
  const int status = environment.application->run();
  environment.application->setDelegate(nullptr);
  return status;
}

}  // namespace quillmoss::host
