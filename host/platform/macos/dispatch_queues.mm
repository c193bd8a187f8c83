// The main queue and the background queue through Grand Central Dispatch.
#include <dispatch/dispatch.h>

#include "platform/macos/macos_platform.h"

namespace quillmoss::host {
namespace {

class DispatchQueue final : public TaskQueue {
 public:
  explicit DispatchQueue(dispatch_queue_t _Nonnull queue) : queue_(queue) {}

  void async(Task task) override {
    dispatch_async(queue_, ^{
      task();
    });
  }

 private:
  dispatch_queue_t queue_;
};

}  // namespace

std::unique_ptr<TaskQueue> makeMainDispatchQueue() {
  return std::make_unique<DispatchQueue>(dispatch_get_main_queue());
}

std::unique_ptr<TaskQueue> makeUserInitiatedQueue() {
  return std::make_unique<DispatchQueue>(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0));
}

}  // namespace quillmoss::host
