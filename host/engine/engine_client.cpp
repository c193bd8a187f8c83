// Blocking socket client with timeouts on every wait.
#include "engine/engine_client.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/engine_socket_path.h"
#include "engine/frame_format.h"

namespace quillmoss::engine {

Expected<std::unique_ptr<EngineClient>> EngineClient::connect(const std::string& socketPath,
                                                              int timeoutMs) {
  const auto address = socketAddress(socketPath);
  if (!address) return address.error();
  posix::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return posixError("cannot create a socket", errno);
  // A host whose listening backlog is full keeps a blocking connect waiting; on Linux the
  // send time-out bounds that wait (and ends it with EAGAIN).
  // (A zero time-out would mean none at all.)
  const timeval limit{timeoutMs / 1000, timeoutMs > 0 ? timeoutMs % 1000 * 1000 : 1};
  if (timeoutMs >= 0 &&
      ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    return posixError("cannot bound the wait for " + socketPath, errno);
  }
  int status = 0;
  do {
    status = ::connect(fd.get(), address->get(), address->size());
  } while (status != 0 && errno == EINTR);
  if (status != 0 && errno == EAGAIN) {
    return Error{kEngineErrorDomain, ETIMEDOUT,
                 "the host at " + socketPath + " did not take the connection in time"};
  }
  if (status != 0) return posixError("cannot connect to " + socketPath, errno);
  return std::unique_ptr<EngineClient>(new EngineClient(std::move(fd)));
}

Expected<int> EngineClient::hostPid() const {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(fd_.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
    return posixError("cannot ask the host who it is", errno);
  }
  return static_cast<int>(credentials.pid);
}

bool EngineClient::sendRaw(const std::uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t sent = ::send(fd_.get(), bytes + done, size - done, MSG_NOSIGNAL);
    if (sent > 0) {
      done += static_cast<std::size_t>(sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

bool EngineClient::sendRequest(std::uint32_t requestId, std::string_view channel,
                               const std::uint8_t* message, std::size_t size) {
  std::vector<std::uint8_t> frame;
  if (!appendRequestFrame(frame, requestId, channel, message, size)) return false;
  return sendRaw(frame.data(), frame.size());
}

bool EngineClient::fill(std::size_t size, int timeoutMs, ReceiveStatus& status) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (end_ - begin_ < size) {
    int wait = -1;
    if (timeoutMs >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    pollfd pfd{fd_.get(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      status = ReceiveStatus::kTimeout;
      return false;
    }
    if (ready < 0) {
      status = ReceiveStatus::kClosed;
      return false;
    }
    // Grown storage is zero-filled once and then reused; only the unread tail moves.
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    const std::size_t room = std::max(size, end_ + kReadChunk);
    if (buffer_.size() < room) buffer_.resize(room);
    const ssize_t got = ::recv(fd_.get(), buffer_.data() + end_, buffer_.size() - end_, 0);
    if (got > 0) end_ += static_cast<std::size_t>(got);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
      status = ReceiveStatus::kClosed;
      return false;
    }
  }
  return true;
}

EngineClient::ReceiveStatus EngineClient::receive(EngineResponse& response, int timeoutMs) {
  ReceiveStatus status = ReceiveStatus::kOk;
  if (!fill(kLengthBytes, timeoutMs, status)) return status;
  const std::uint8_t* frame = buffer_.data() + begin_;
  const std::size_t rest = readU32(frame);
  if (rest < kResponseHeaderBytes || rest > kMaxResponseBytes) return ReceiveStatus::kMalformed;
  if (!fill(kLengthBytes + rest, timeoutMs, status)) return status;
  frame = buffer_.data() + begin_;
  response.requestId = readU32(frame + kLengthBytes);
  response.reply.assign(frame + kLengthBytes + kResponseHeaderBytes, frame + kLengthBytes + rest);
  begin_ += kLengthBytes + rest;
  if (begin_ == end_) begin_ = end_ = 0;
  return ReceiveStatus::kOk;
}

}  // namespace quillmoss::engine
