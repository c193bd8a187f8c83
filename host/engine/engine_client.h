// A blocking client of the host's socket: what the command-line client, tests and benchmarks
// use to stand in for the UI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "posix/unique_fd.h"

namespace quillmoss::engine {

struct EngineResponse {
  std::uint32_t requestId = 0;
  std::vector<std::uint8_t> reply;  // Empty: no handler, or not implemented.
};

class EngineClient {
 public:
  // Replies this large are refused as malformed.
  static constexpr std::size_t kMaxResponseBytes = 256u * 1024 * 1024;

  enum class ReceiveStatus { kOk, kTimeout, kClosed, kMalformed };

  // An error when nothing accepts at the path, or the host has not taken the connection
  // within timeoutMs (negative: waits as long as it takes); ETIMEDOUT is the code then.
  static Expected<std::unique_ptr<EngineClient>> connect(const std::string& socketPath,
                                                         int timeoutMs);

  bool sendRequest(std::uint32_t requestId, std::string_view channel, const std::uint8_t* message,
                   std::size_t size);
  // Any bytes, frame or not; for tests of the host's framing.
  bool sendRaw(const std::uint8_t* bytes, std::size_t size);
  // Waits up to timeoutMs (negative: for ever) for the next response frame.
  ReceiveStatus receive(EngineResponse& response, int timeoutMs);

  int fd() const { return fd_.get(); }
  // The process serving the socket, as the kernel recorded it when that process listened: the
  // one way to name it whatever the socket's path (a long one is bound under /proc).
  Expected<int> hostPid() const;

 private:
  explicit EngineClient(posix::UniqueFd fd) : fd_(std::move(fd)) {}
  static constexpr std::size_t kReadChunk = 64 * 1024;

  // Makes `size` unread bytes available; false on timeout (status set) or end.
  bool fill(std::size_t size, int timeoutMs, ReceiveStatus& status);

  posix::UniqueFd fd_;
  // Received bytes are buffer_[begin_, end_); the rest is reusable room.
  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace quillmoss::engine
