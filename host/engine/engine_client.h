// A blocking client of the host's socket: what the command-line client, tests and benchmarks
// use to stand in for the UI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

  // Nullptr, with the reason, when nothing accepts at the path.
  static std::unique_ptr<EngineClient> connect(const std::string& socketPath,
                                               std::string* error = nullptr);

  bool sendRequest(std::uint32_t requestId, std::string_view channel, const std::uint8_t* message,
                   std::size_t size);
  // Any bytes, frame or not; for tests of the host's framing.
  bool sendRaw(const std::uint8_t* bytes, std::size_t size);
  // Waits up to timeoutMs (negative: for ever) for the next response frame.
  ReceiveStatus receive(EngineResponse& response, int timeoutMs);

  int fd() const { return fd_.get(); }

 private:
  explicit EngineClient(posix::UniqueFd fd) : fd_(std::move(fd)) {}
  // Fills the buffer to `size` bytes; false on timeout (status set) or end.
  bool fill(std::size_t size, int timeoutMs, ReceiveStatus& status);

  posix::UniqueFd fd_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace quillmoss::engine
