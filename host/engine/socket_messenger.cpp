// Socket transport: accepts same-user clients, splits their byte streams into request frames,
// dispatches them to channel handlers and writes the replies back, buffered and non-blocking.
#include "engine/socket_messenger.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "engine/engine_socket_path.h"
#include "engine/frame_format.h"
#include "core/event_loop.h"
#include "posix/unique_fd.h"

namespace quillmoss::engine {

using posix::UniqueFd;

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;
// Bytes read from one client per wake-up, so one busy client cannot starve the others.
constexpr std::size_t kReadBudgetBytes = 1024 * 1024;
// A client that does not read its replies stops being read until it catches up.
constexpr std::size_t kPauseReadingOutputBytes = 8 * 1024 * 1024;
constexpr int kListenBacklog = 64;
constexpr int kAcceptsPerWakeup = 64;

struct Request {
  std::uint32_t id;
  std::string channel;
  std::vector<std::uint8_t> message;
};

}  // namespace

struct SocketMessenger::Core : std::enable_shared_from_this<SocketMessenger::Core> {
  struct Connection {
    UniqueFd fd;
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> output;
    std::size_t outputStart = 0;
    std::size_t pendingReplies = 0;
    bool readable = false;  // Watched for input.
    bool writable = false;  // Watched for output space.
    bool peerDone = false;  // The client shut its sending side.
  };

  explicit Core(EventLoop& loop) : loop(loop) {}
  ~Core() { stop(); }

  void stop();
  Status listen(const std::string& path);
  void acceptClients();
  void onReadable(std::uint64_t id);
  void onWritable(std::uint64_t id);
  bool extractFrames(Connection& connection, std::vector<Request>& requests);
  void dispatch(std::uint64_t connectionId, Request request);
  void deliver(std::uint64_t connectionId, std::uint32_t requestId, const std::uint8_t* reply,
               std::size_t size);
  // False when the connection was closed.
  bool flush(std::uint64_t id, Connection& connection);
  void updateWatches(std::uint64_t id, Connection& connection);
  void close(std::uint64_t id);

  EventLoop& loop;
  UniqueFd listener;
  std::string path;
  dev_t socketDevice = 0;
  ino_t socketInode = 0;
  std::map<std::string, std::shared_ptr<BinaryMessageHandler>> handlers;
  std::map<std::uint64_t, Connection> connections;
  std::uint64_t nextConnectionId = 1;
};

namespace {

// The one reply to one request. Sent at most once; if every copy of the BinaryReply is
// dropped unanswered, the empty reply goes out so the client is never left waiting.
class PendingReply {
 public:
  PendingReply(std::weak_ptr<SocketMessenger::Core> core, EventLoop* loop,
               std::uint64_t connection, std::uint32_t requestId)
      : core_(std::move(core)), loop_(loop), connection_(connection), requestId_(requestId) {}
  ~PendingReply() {
    if (!sent_.load()) send(nullptr, 0);
  }

  void send(const std::uint8_t* reply, std::size_t size) {
    if (sent_.exchange(true)) return;
    if (loop_->onLoopThread()) {
      if (auto core = core_.lock()) core->deliver(connection_, requestId_, reply, size);
      return;
    }
    std::vector<std::uint8_t> bytes(reply, reply + size);
    loop_->post(
        [core = core_, connection = connection_, requestId = requestId_, bytes = std::move(bytes)] {
          if (auto alive = core.lock())
            alive->deliver(connection, requestId, bytes.data(), bytes.size());
        });
  }

 private:
  std::weak_ptr<SocketMessenger::Core> core_;
  EventLoop* loop_;
  std::uint64_t connection_;
  std::uint32_t requestId_;
  std::atomic<bool> sent_{false};
};

}  // namespace

void SocketMessenger::Core::stop() {
  for (auto& [id, connection] : connections) {
    if (connection.readable || connection.writable) {
      loop.unwatchReadable(connection.fd.get());
      loop.unwatchWritable(connection.fd.get());
    }
  }
  connections.clear();
  if (listener) {
    loop.unwatchReadable(listener.get());
    listener.reset();
    // Only our own socket file: a later host may already have replaced it.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && info.st_dev == socketDevice &&
        info.st_ino == socketInode) {
      ::unlink(path.c_str());
    }
  }
}

Status SocketMessenger::Core::listen(const std::string& socketPath) {
  if (listener) {
    return Error{kEngineErrorDomain, EALREADY, "already listening at " + path};
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
    return Error{kEngineErrorDomain, ENAMETOOLONG, "socket path is empty or too long: " + socketPath};
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const auto slash = socketPath.find_last_of('/');
  if (slash != std::string::npos && slash != 0) {
    if (auto prepared = preparePrivateFolder(socketPath.substr(0, slash)); !prepared) {
      return prepared;
    }
  }

  struct stat existing {};
  if (::lstat(socketPath.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      return Error{kEngineErrorDomain, EEXIST, socketPath + " exists and is not a socket"};
    }
    // Non-blocking: a live host with a full backlog answers EAGAIN instead of stalling us.
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (probe &&
        (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
         errno == EAGAIN)) {
      return Error{kEngineErrorDomain, EADDRINUSE, "another quillmoss host is serving at " + socketPath};
    }
    // Left behind by a host that is gone.
    if (::unlink(socketPath.c_str()) != 0 && errno != ENOENT) {
      return posixError("cannot remove stale " + socketPath, errno);
    }
  }

  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) {
    return posixError("cannot create socket", errno);
  }
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return posixError("cannot bind " + socketPath, errno);
  }
  struct stat bound {};
  if (::chmod(socketPath.c_str(), 0600) != 0 || ::lstat(socketPath.c_str(), &bound) != 0 ||
      ::listen(fd.get(), kListenBacklog) != 0) {
    const int failure = errno;
    ::unlink(socketPath.c_str());
    return posixError("cannot listen at " + socketPath, failure);
  }
  listener = std::move(fd);
  path = socketPath;
  socketDevice = bound.st_dev;
  socketInode = bound.st_ino;
  std::weak_ptr<Core> weak = weak_from_this();
  loop.watchReadable(listener.get(), [weak] {
    if (auto core = weak.lock()) core->acceptClients();
  });
  return {};
}

void SocketMessenger::Core::acceptClients() {
  for (int i = 0; i < kAcceptsPerWakeup; ++i) {
    UniqueFd client(::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!client) return;  // EAGAIN, or a client that gave up before we got to it.
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(client.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        credentials.uid != ::geteuid()) {
      continue;  // Another user's process: closed unread.
    }
    const std::uint64_t id = nextConnectionId++;
    Connection& connection = connections[id];
    connection.fd = std::move(client);
    updateWatches(id, connection);
  }
}

void SocketMessenger::Core::updateWatches(std::uint64_t id, Connection& connection) {
  const int fd = connection.fd.get();
  const bool wantRead = !connection.peerDone && connection.output.size() - connection.outputStart <
                                                    kPauseReadingOutputBytes;
  const bool wantWrite = connection.outputStart < connection.output.size();
  std::weak_ptr<Core> weak = weak_from_this();
  if (wantRead != connection.readable) {
    if (wantRead) {
      loop.watchReadable(fd, [weak, id] {
        if (auto core = weak.lock()) core->onReadable(id);
      });
    } else {
      loop.unwatchReadable(fd);
    }
    connection.readable = wantRead;
  }
  if (wantWrite != connection.writable) {
    if (wantWrite) {
      loop.watchWritable(fd, [weak, id] {
        if (auto core = weak.lock()) core->onWritable(id);
      });
    } else {
      loop.unwatchWritable(fd);
    }
    connection.writable = wantWrite;
  }
}

void SocketMessenger::Core::close(std::uint64_t id) {
  auto it = connections.find(id);
  if (it == connections.end()) return;
  loop.unwatchReadable(it->second.fd.get());
  loop.unwatchWritable(it->second.fd.get());
  connections.erase(it);
}

void SocketMessenger::Core::onReadable(std::uint64_t id) {
  auto it = connections.find(id);
  if (it == connections.end()) return;
  Connection& connection = it->second;
  std::size_t budget = kReadBudgetBytes;
  bool gone = false;
  while (budget > 0) {
    const std::size_t old = connection.input.size();
    connection.input.resize(old + kReadChunkBytes);
    const ssize_t got =
        ::recv(connection.fd.get(), connection.input.data() + old, kReadChunkBytes, 0);
    connection.input.resize(old + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got > 0) {
      budget -= std::min(budget, static_cast<std::size_t>(got));
      if (static_cast<std::size_t>(got) < kReadChunkBytes) break;
      continue;
    }
    if (got == 0) {
      // Gone entirely, or only done sending (and still waiting for its replies)?
      pollfd state{connection.fd.get(), 0, 0};
      gone = ::poll(&state, 1, 0) > 0 && (state.revents & POLLHUP);
      connection.peerDone = true;
      break;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
    close(id);
    return;
  }

  std::vector<Request> requests;
  if (!extractFrames(connection, requests)) {
    close(id);  // Oversized or inconsistent: this client only.
    return;
  }
  connection.pendingReplies += requests.size();
  if (gone || (connection.peerDone && !connection.input.empty())) {
    // Gone, or ended in the middle of a frame: its complete calls still run, and their
    // replies are dropped when they come.
    close(id);
  } else if (connection.peerDone && connection.pendingReplies == 0 &&
             connection.outputStart == connection.output.size()) {
    close(id);
  } else {
    updateWatches(id, connection);
  }
  // From here on the connection may go away (a reply can close it), so only its id is used.
  for (auto& request : requests) dispatch(id, std::move(request));
}

bool SocketMessenger::Core::extractFrames(Connection& connection, std::vector<Request>& requests) {
  const std::uint8_t* data = connection.input.data();
  const std::size_t size = connection.input.size();
  std::size_t pos = 0;
  while (size - pos >= kLengthBytes) {
    const std::size_t rest = readU32(data + pos);
    if (rest > kMaxFrameBytes || rest < kRequestHeaderBytes) return false;
    if (size - pos - kLengthBytes < rest) {
      // The header alone shows an inconsistent name length early.
      if (size - pos - kLengthBytes >= kRequestHeaderBytes &&
          kRequestHeaderBytes + readU16(data + pos + kLengthBytes + 4) > rest) {
        return false;
      }
      break;
    }
    const std::uint8_t* frame = data + pos + kLengthBytes;
    const std::size_t nameLength = readU16(frame + 4);
    if (kRequestHeaderBytes + nameLength > rest) return false;
    Request request;
    request.id = readU32(frame);
    request.channel.assign(reinterpret_cast<const char*>(frame + kRequestHeaderBytes), nameLength);
    request.message.assign(frame + kRequestHeaderBytes + nameLength, frame + rest);
    requests.push_back(std::move(request));
    pos += kLengthBytes + rest;
  }
  connection.input.erase(connection.input.begin(),
                         connection.input.begin() + static_cast<std::ptrdiff_t>(pos));
  return true;
}

void SocketMessenger::Core::dispatch(std::uint64_t connectionId, Request request) {
  auto found = handlers.find(request.channel);
  if (found == handlers.end()) {
    deliver(connectionId, request.id, nullptr, 0);
    return;
  }
  auto handler = found->second;  // Survives the handler replacing itself.
  auto pending = std::make_shared<PendingReply>(weak_from_this(), &loop, connectionId, request.id);
  (*handler)(
      request.message.data(), request.message.size(),
      [pending](const std::uint8_t* reply, std::size_t size) { pending->send(reply, size); });
}

void SocketMessenger::Core::deliver(std::uint64_t connectionId, std::uint32_t requestId,
                                    const std::uint8_t* reply, std::size_t size) {
  auto it = connections.find(connectionId);
  if (it == connections.end()) return;  // The client is gone; so is its reply.
  Connection& connection = it->second;
  if (connection.pendingReplies > 0) --connection.pendingReplies;
  appendResponseFrame(connection.output, requestId, reply, size);
  if (!flush(connectionId, connection)) return;
  if (connection.peerDone && connection.pendingReplies == 0 &&
      connection.outputStart == connection.output.size()) {
    close(connectionId);
    return;
  }
  updateWatches(connectionId, connection);
}

bool SocketMessenger::Core::flush(std::uint64_t id, Connection& connection) {
  while (connection.outputStart < connection.output.size()) {
    const ssize_t sent =
        ::send(connection.fd.get(), connection.output.data() + connection.outputStart,
               connection.output.size() - connection.outputStart, MSG_NOSIGNAL);
    if (sent > 0) {
      connection.outputStart += static_cast<std::size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    close(id);
    return false;
  }
  if (connection.outputStart == connection.output.size()) {
    connection.output.clear();
    connection.outputStart = 0;
  } else if (connection.outputStart > connection.output.size() / 2) {
    connection.output.erase(
        connection.output.begin(),
        connection.output.begin() + static_cast<std::ptrdiff_t>(connection.outputStart));
    connection.outputStart = 0;
  }
  return true;
}

void SocketMessenger::Core::onWritable(std::uint64_t id) {
  auto it = connections.find(id);
  if (it == connections.end()) return;
  Connection& connection = it->second;
  if (!flush(id, connection)) return;
  if (connection.peerDone && connection.pendingReplies == 0 &&
      connection.outputStart == connection.output.size()) {
    close(id);
    return;
  }
  updateWatches(id, connection);
}

SocketMessenger::SocketMessenger(EventLoop& loop) : core_(std::make_shared<Core>(loop)) {}

SocketMessenger::~SocketMessenger() = default;

Status SocketMessenger::listen(const std::string& socketPath) {
  return core_->listen(socketPath);
}

Status SocketMessenger::listen() {
  return core_->listen(defaultEngineSocketPath());
}

void SocketMessenger::setMessageHandler(const std::string& channel, BinaryMessageHandler handler) {
  if (handler) {
    core_->handlers[channel] = std::make_shared<BinaryMessageHandler>(std::move(handler));
  } else {
    core_->handlers.erase(channel);
  }
}

const std::string& SocketMessenger::socketPath() const {
  return core_->path;
}

std::size_t SocketMessenger::connectionCount() const {
  return core_->connections.size();
}

}  // namespace quillmoss::engine
