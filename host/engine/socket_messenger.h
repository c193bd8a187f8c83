// The binary messenger served on a Unix-domain socket, so that a client process can stand in
// for the UI. Runs on the main loop; replies may come from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/error.h"
#include "engine/binary_messenger.h"

namespace quillmoss {
class EventLoop;
}

namespace quillmoss::engine {

class SocketMessenger final : public BinaryMessenger {
 public:
  // The loop must outlive the messenger and every reply handed out by it.
  explicit SocketMessenger(EventLoop& loop);
  // Closes every connection and removes the socket file if it is still ours. Replies still
  // outstanding are dropped when they arrive.
  ~SocketMessenger() override;
  SocketMessenger(const SocketMessenger&) = delete;
  SocketMessenger& operator=(const SocketMessenger&) = delete;

  // Prepares the private folder, replaces a stale socket file and starts accepting. Fails,
  // with a reason, when another host still answers there or the folder is not private.
  Status listen(const std::string& socketPath);
  Status listen();  // At defaultEngineSocketPath().

  // Main thread only.
  void setMessageHandler(const std::string& channel, BinaryMessageHandler handler) override;

  const std::string& socketPath() const;
  std::size_t connectionCount() const;

  struct Core;

 private:
  // Loop callbacks and outstanding replies hold this weakly: work that outlives the
  // messenger finds it gone and does nothing.
  std::shared_ptr<Core> core_;
};

}  // namespace quillmoss::engine
