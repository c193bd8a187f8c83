// Helper programs through NSTask on /usr/bin/env, with their output on a pipe.
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <atomic>
#include <cstddef>

#include "platform/macos/macos_platform.h"
#include "platform/macos/ns_text.h"

namespace quillmoss::host {
namespace {

// A child still running after this long is stopped, and its output counts as none.
constexpr double kTimeoutSeconds = 30.0;
// More output than this is treated like a hung child.
constexpr std::size_t kMaxOutputBytes = 16u << 20;
constexpr NSUInteger kReadChunkBytes = 1u << 16;

class TaskProcessRunner final : public ProcessRunner {
 public:
  std::optional<std::string> run(const std::vector<std::string>& args) override {
    @autoreleasepool {
      NSMutableArray<NSString*>* arguments = [NSMutableArray array];
      for (const std::string& arg : args) [arguments addObject:toNSString(arg)];

      NSTask* task = [[NSTask alloc] init];
      [task setExecutableURL:[NSURL fileURLWithPath:@"/usr/bin/env"]];
      [task setArguments:arguments];
      NSPipe* output = [NSPipe pipe];
      [task setStandardOutput:output];
      // Never read: launchctl's complaints are of no interest.
      [task setStandardError:[NSPipe pipe]];
      NSError* error = nil;
      if (![task launchAndReturnError:&error]) return std::nullopt;

      auto timedOut = std::make_shared<std::atomic<bool>>(false);
      __weak NSTask* weakTask = task;
      dispatch_after(
          dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kTimeoutSeconds * NSEC_PER_SEC)),
          dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0), ^{
            NSTask* running = weakTask;
            if (running != nil && running.running) {
              timedOut->store(true);
              [running terminate];
            }
          });

      // Read while the child runs, so that a full pipe cannot stall it; end of file comes
      // when it exits. A read error counts like a hung child.
      std::string text;
      bool failed = false;
      NSFileHandle* reader = [output fileHandleForReading];
      for (;;) {
        @autoreleasepool {
          NSError* readError = nil;
          NSData* chunk = [reader readDataUpToLength:kReadChunkBytes error:&readError];
          if (chunk == nil || text.size() + chunk.length > kMaxOutputBytes) {
            failed = true;
            [task terminate];
            break;
          }
          if (chunk.length == 0) break;
          text.append(static_cast<const char*>(chunk.bytes), chunk.length);
        }
      }
      [task waitUntilExit];
      if (failed || timedOut->load()) return std::nullopt;
      NSString* decoded = [[NSString alloc] initWithBytes:text.data()
                                                   length:text.size()
                                                 encoding:NSUTF8StringEncoding];
      if (decoded == nil) return std::nullopt;
      return text;
    }
  }
};

}  // namespace

std::unique_ptr<ProcessRunner> makeTaskProcessRunner() {
  return std::make_unique<TaskProcessRunner>();
}

}  // namespace quillmoss::host
