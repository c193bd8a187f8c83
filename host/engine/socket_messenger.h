// The binary messenger served on a Unix-domain socket, so that a client process can stand in
// for the UI. Runs on the main loop; replies may come from any thread.
#pragma once

#include <cstddef>
#include <functional>
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
  // What one client may hold of the host, so that no client can take its memory or its time.
  struct Limits {
    // Calls dispatched and not yet answered. Further calls wait, unread, in the socket. Below
    // the background queue's width of three, so that one busy client always leaves a worker
    // free for the others instead of queueing ahead of their calls.
    std::size_t maxCallsInFlight = 2;
    // What the host holds for one client in each direction. Replies not yet taken: above this
    // no further call is dispatched to it. Calls not yet whole: a call frame longer than this
    // closes the client, so a client that sends part of a frame and stalls holds at most this.
    std::size_t maxHeldBytes = 1u << 20;
    // Connections served at once; further clients wait in the listening backlog.
    std::size_t maxClients = 128;
    // While the host is at maxClients, a client with no call in flight that has sent or taken
    // nothing for this long is closed, so that idle clients cannot lock the others out.
    double idleSeconds = 30.0;
  };

  // The loop must outlive the messenger and every reply handed out by it.
  explicit SocketMessenger(EventLoop& loop);
  SocketMessenger(EventLoop& loop, Limits limits);
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

  // Main thread only. Called on the loop soon after at least `bytes` of replies or of client
  // buffers were let go (a large reply handed out, clients with large partial calls gone);
  // lets the program give that memory back.
  void onMemoryReleased(std::size_t bytes, std::function<void()> handler);

  const std::string& socketPath() const;
  std::size_t connectionCount() const;

  struct Core;

 private:
  // Loop callbacks and outstanding replies hold this weakly: work that outlives the
  // messenger finds it gone and does nothing.
  std::shared_ptr<Core> core_;
};

}  // namespace quillmoss::engine
