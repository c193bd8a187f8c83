// The base delegate's launch step.
#include "shell/flutter_app_delegate.h"

namespace quillmoss::host {

void FlutterAppDelegate::applicationDidFinishLaunching(Application&) {
  finishedLaunching_ = true;
}

}  // namespace quillmoss::host
