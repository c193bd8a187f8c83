// Input idle time on macOS.
#include <CoreGraphics/CoreGraphics.h>

#include "platform/macos/macos_tracker_ports.h"

namespace quillmoss::tracker {
namespace {

class MacosIdleSource final : public IdleSource {
 public:
  double secondsSinceLastInput() override {
    return CGEventSourceSecondsSinceLastEventType(kCGEventSourceStateHIDSystemState,
                                                  kCGAnyInputEventType);
  }
};

}  // namespace

std::unique_ptr<IdleSource> makeMacosIdleSource() {
  return std::make_unique<MacosIdleSource>();
}

}  // namespace quillmoss::tracker
