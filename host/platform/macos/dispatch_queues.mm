// The background queue through Grand Central Dispatch (the main queue is the event loop's).
#include <dispatch/dispatch.h>

#include "platform/macos/macos_platform.h"

namespace quillmoss::host {
namespace {

class GlobalQueue final : public TaskQueue {
 public:
  explicit GlobalQueue(dispatch_queue_t _Nonnull queue) : queue_(queue) {}

  void async(Task task) override {
    dispatch_async(queue_, ^{
      task();
    });
  }

 private:
  dispatch_queue_t queue_;
};

}  // namespace

std::unique_ptr<TaskQueue> makeUserInitiatedQueue() {
  return std::make_unique<GlobalQueue>(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0));
}

}  // namespace quillmoss::host
