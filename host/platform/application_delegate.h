// What the application asks of its delegate at launch, on closing the last window and on reopen.
#pragma once

#include "platform/application.h"

namespace quillmoss::host {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching(Application& application) = 0;
  virtual bool applicationShouldTerminateAfterLastWindowClosed(Application& application) = 0;
  virtual bool applicationShouldHandleReopen(Application& application, bool hasVisibleWindows) = 0;
  virtual bool applicationSupportsSecureRestorableState(Application& application) = 0;
};

}  // namespace quillmoss::host
