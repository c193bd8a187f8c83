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
#include <map>
#include <vector>

#include "core/event_loop.h"
#include "core/monotonic_clock.h"
#include "engine/engine_socket_path.h"
#include "engine/frame_format.h"
#include "posix/unique_fd.h"

namespace quillmoss::engine {

using posix::UniqueFd;

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;
// Bytes read from one client per wake-up, so one busy client cannot starve the others.
constexpr std::size_t kReadBudgetBytes = 1024 * 1024;
// Buffers above this are released once empty rather than kept for the next call.
constexpr std::size_t kKeptBufferBytes = 256 * 1024;
constexpr int kListenBacklog = 64;
constexpr int kAcceptsPerWakeup = 64;
// While out of descriptors, accepting is retried after this long (or when a client leaves).
constexpr double kAcceptRetrySeconds = 0.25;

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
    std::size_t inputStart = 0;  // Input before this has been dispatched.
    std::vector<std::uint8_t> output;
    std::size_t outputStart = 0;
    std::size_t pendingReplies = 0;  // Calls dispatched and not yet answered.
    bool readable = false;           // Watched for input.
    bool writable = false;           // Watched for output space.
    bool peerDone = false;           // The client shut its sending side.
    bool peerGone = false;           // The client hung up entirely.
    bool dispatching = false;        // Inside dispatchWaiting(), which a reply can re-enter.
    double lastActive = 0;           // When bytes last came from or went to the client.
  };

  enum class Frame { kComplete, kIncomplete, kBad };

  Core(EventLoop& loop, Limits limits) : loop(loop), limits(limits) {}
  ~Core() { stop(); }

  void stop();
  Status listen(const std::string& path);
  void acceptClients();
  void watchListener(bool wanted);
  void onReadable(std::uint64_t id);
  void onWritable(std::uint64_t id);
  bool hasRoom(const Connection& connection) const;
  // The frame at the front of the unread input; its whole length when complete.
  Frame peekFrame(const Connection& connection, std::size_t& length) const;
  // Dispatches the waiting calls while the client has room, then settles the connection.
  void dispatchWaiting(std::uint64_t id);
  void dispatch(std::uint64_t connectionId, Request request);
  void deliver(std::uint64_t connectionId, std::uint32_t requestId, const std::uint8_t* reply,
               std::size_t size);
  // Writes what the socket takes. A client found gone is marked so; settle() closes it.
  void flush(Connection& connection);
  // Closes a connection that is finished with, else watches what it needs.
  void settle(std::uint64_t id, Connection& connection);
  void updateWatches(std::uint64_t id, Connection& connection);
  void close(std::uint64_t id);
  // At the client limit: closes the idle clients, and looks again when the next could be.
  void closeIdleClients();
  // Counts buffer memory let go; past the threshold the program is told to give it back.
  void released(std::size_t bytes);

  EventLoop& loop;
  const Limits limits;
  UniqueFd listener;
  bool listenerWatched = false;
  EventLoop::TimerId acceptRetry = 0;
  EventLoop::TimerId idleCheck = 0;
  std::string path;
  dev_t socketDevice = 0;
  ino_t socketInode = 0;
  std::map<std::string, std::shared_ptr<BinaryMessageHandler>> handlers;
  std::map<std::uint64_t, Connection> connections;
  std::uint64_t nextConnectionId = 1;
  std::size_t releaseThreshold = 0;
  std::size_t releasedBytes = 0;
  std::function<void()> releaseHandler;
};

namespace {

// The one reply to one request. Sent at most once; if every copy of the BinaryReply is
// dropped unanswered, the empty reply goes out so the client is never left waiting.
class PendingReply {
 public:
  PendingReply(std::weak_ptr<SocketMessenger::Core> core, EventLoop* loop, std::uint64_t connection,
               std::uint32_t requestId)
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
  if (acceptRetry != 0) loop.cancel(acceptRetry);
  acceptRetry = 0;
  if (idleCheck != 0) loop.cancel(idleCheck);
  idleCheck = 0;
  if (listener) {
    watchListener(false);
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
  const auto slash = socketPath.find_last_of('/');
  if (slash != std::string::npos && slash != 0) {
    if (auto prepared = preparePrivateFolder(socketPath.substr(0, slash)); !prepared) {
      return prepared;
    }
  }
  const auto address = socketAddress(socketPath);  // Once its folder is there.
  if (!address) return address.error();

  struct stat existing {};
  if (::lstat(socketPath.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      return Error{kEngineErrorDomain, EEXIST, socketPath + " exists and is not a socket"};
    }
    // Non-blocking: a live host with a full backlog answers EAGAIN instead of stalling us.
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (probe &&
        (::connect(probe.get(), address->get(), address->size()) == 0 || errno == EAGAIN)) {
      return Error{kEngineErrorDomain, EADDRINUSE,
                   "another quillmoss host is serving at " + socketPath};
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
  if (::bind(fd.get(), address->get(), address->size()) != 0) {
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
  watchListener(true);
  return {};
}

void SocketMessenger::Core::watchListener(bool wanted) {
  if (wanted && (!listener || connections.size() >= limits.maxClients)) return;
  if (wanted == listenerWatched) return;
  if (wanted) {
    std::weak_ptr<Core> weak = weak_from_this();
    loop.watchReadable(listener.get(), [weak] {
      if (auto core = weak.lock()) core->acceptClients();
    });
  } else {
    loop.unwatchReadable(listener.get());
  }
  listenerWatched = wanted;
}

void SocketMessenger::Core::acceptClients() {
  for (int i = 0; i < kAcceptsPerWakeup; ++i) {
    if (connections.size() >= limits.maxClients) {
      watchListener(false);  // Until a client leaves; the rest wait in the backlog.
      if (idleCheck == 0) closeIdleClients();
      return;
    }
    UniqueFd client(::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!client) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // The listener stays readable while we cannot take the client: watching it now
        // would spin. Try again when a client leaves or after a pause.
        watchListener(false);
        if (acceptRetry == 0) {
          std::weak_ptr<Core> weak = weak_from_this();
          acceptRetry = loop.scheduleOnce(kAcceptRetrySeconds, [weak] {
            if (auto core = weak.lock()) {
              core->acceptRetry = 0;
              core->watchListener(true);
            }
          });
        }
      }
      return;  // Also EAGAIN, or a client that gave up before we got to it.
    }
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(client.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        credentials.uid != ::geteuid()) {
      continue;  // Another user's process: closed unread.
    }
    const std::uint64_t id = nextConnectionId++;
    Connection& connection = connections[id];
    connection.fd = std::move(client);
    connection.lastActive = monotonicSeconds();
    updateWatches(id, connection);
  }
}

bool SocketMessenger::Core::hasRoom(const Connection& connection) const {
  return connection.pendingReplies < limits.maxCallsInFlight &&
         connection.output.size() - connection.outputStart < limits.maxHeldBytes;
}

SocketMessenger::Core::Frame SocketMessenger::Core::peekFrame(const Connection& connection,
                                                              std::size_t& length) const {
  const std::uint8_t* data = connection.input.data() + connection.inputStart;
  const std::size_t size = connection.input.size() - connection.inputStart;
  if (size < kLengthBytes) return Frame::kIncomplete;
  const std::size_t rest = readU32(data);
  const std::size_t longest = std::min(kMaxFrameBytes, limits.maxHeldBytes - kLengthBytes);
  if (rest > longest || rest < kRequestHeaderBytes) return Frame::kBad;
  // The header alone shows an inconsistent name length early.
  if (size - kLengthBytes >= kRequestHeaderBytes &&
      kRequestHeaderBytes + readU16(data + kLengthBytes + 4) > rest) {
    return Frame::kBad;
  }
  if (size - kLengthBytes < rest) return Frame::kIncomplete;
  length = kLengthBytes + rest;
  return Frame::kComplete;
}

void SocketMessenger::Core::dispatchWaiting(std::uint64_t id) {
  auto it = connections.find(id);
  if (it == connections.end() || it->second.dispatching) return;
  it->second.dispatching = true;
  for (;;) {
    Connection& connection = it->second;
    if (!hasRoom(connection)) break;
    std::size_t length = 0;
    const Frame frame = peekFrame(connection, length);
    if (frame == Frame::kBad) {
      close(id);  // Oversized or inconsistent: this client only.
      return;
    }
    if (frame == Frame::kIncomplete) break;
    const std::uint8_t* bytes = connection.input.data() + connection.inputStart;
    const std::size_t nameLength = readU16(bytes + kLengthBytes + 4);
    const std::uint8_t* channel = bytes + kLengthBytes + kRequestHeaderBytes;
    Request request;
    request.id = readU32(bytes + kLengthBytes);
    request.channel.assign(reinterpret_cast<const char*>(channel), nameLength);
    request.message.assign(channel + nameLength, bytes + length);
    connection.inputStart += length;
    ++connection.pendingReplies;
    dispatch(id, std::move(request));
    // A reply given at once may have closed the connection.
    it = connections.find(id);
    if (it == connections.end()) return;
  }
  Connection& connection = it->second;
  connection.dispatching = false;
  if (connection.inputStart == connection.input.size()) {
    connection.input.clear();
    if (connection.input.capacity() > kKeptBufferBytes) {
      released(connection.input.capacity());
      connection.input.shrink_to_fit();
    }
    connection.inputStart = 0;
  } else if (connection.inputStart > 0) {
    connection.input.erase(
        connection.input.begin(),
        connection.input.begin() + static_cast<std::ptrdiff_t>(connection.inputStart));
    connection.inputStart = 0;
  }
  settle(id, connection);
}

void SocketMessenger::Core::settle(std::uint64_t id, Connection& connection) {
  if (connection.dispatching) return;  // dispatchWaiting() settles when it is done.
  if (connection.peerDone) {
    std::size_t length = 0;
    const Frame next = peekFrame(connection, length);
    const bool allSent = connection.outputStart == connection.output.size();
    const bool waiting = next == Frame::kComplete;
    const bool cutShort = !waiting && connection.inputStart < connection.input.size();
    const bool finished = connection.pendingReplies == 0 && allSent && !waiting;
    if (connection.peerGone && waiting) {
      // Gone with calls it sent still waiting: they run as room frees, their replies going
      // nowhere, so a client may send its calls and leave.
      connection.output.clear();
      connection.outputStart = 0;
    } else if (connection.peerGone || cutShort || finished) {
      // Gone, or ended in the middle of a frame: calls already dispatched still run, and
      // their replies are dropped when they come.
      close(id);
      return;
    }
  }
  updateWatches(id, connection);
}

void SocketMessenger::Core::updateWatches(std::uint64_t id, Connection& connection) {
  const int fd = connection.fd.get();
  // A client over its bound is not read until it drains: its further calls wait in the
  // socket, where they cost the host nothing.
  const bool wantRead = !connection.peerDone && hasRoom(connection);
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
  released(it->second.input.capacity() + it->second.output.capacity());
  connections.erase(it);
  watchListener(true);
}

void SocketMessenger::Core::closeIdleClients() {
  idleCheck = 0;
  if (connections.size() < limits.maxClients) return;
  const double now = monotonicSeconds();
  double nextCheck = limits.idleSeconds;
  std::vector<std::uint64_t> idle;
  for (const auto& [id, connection] : connections) {
    if (connection.pendingReplies > 0) continue;  // The host is working for it.
    const double quiet = now - connection.lastActive;
    if (quiet >= limits.idleSeconds) {
      idle.push_back(id);
    } else {
      nextCheck = std::min(nextCheck, limits.idleSeconds - quiet);
    }
  }
  for (const std::uint64_t id : idle) close(id);
  if (connections.size() < limits.maxClients) return;
  std::weak_ptr<Core> weak = weak_from_this();
  idleCheck = loop.scheduleOnce(nextCheck, [weak] {
    if (auto core = weak.lock()) core->closeIdleClients();
  });
}

void SocketMessenger::Core::released(std::size_t bytes) {
  if (!releaseHandler) return;
  releasedBytes += bytes;
  if (releasedBytes < releaseThreshold) return;
  releasedBytes = 0;
  // Posted, so that it runs after whatever held the memory has let go of it.
  loop.post([weak = weak_from_this()] {
    if (auto core = weak.lock(); core && core->releaseHandler) core->releaseHandler();
  });
}

void SocketMessenger::Core::onReadable(std::uint64_t id) {
  auto it = connections.find(id);
  if (it == connections.end()) return;
  Connection& connection = it->second;
  std::size_t budget = kReadBudgetBytes;
  while (budget > 0) {
    // Never more unread input than the client may hold; a frame that fits is whole by then.
    const std::size_t held = connection.input.size() - connection.inputStart;
    if (held >= limits.maxHeldBytes) break;
    std::size_t length = 0;
    if (peekFrame(connection, length) == Frame::kIncomplete && held >= kLengthBytes) {
      // Room for exactly the frame announced, rather than doubling on the way.
      connection.input.reserve(connection.inputStart + length);
    }
    const std::size_t chunk = std::min(kReadChunkBytes, limits.maxHeldBytes - held);
    const std::size_t old = connection.input.size();
    connection.input.resize(old + chunk);
    const ssize_t got = ::recv(connection.fd.get(), connection.input.data() + old, chunk, 0);
    connection.input.resize(old + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got > 0) {
      connection.lastActive = monotonicSeconds();
      budget -= std::min(budget, static_cast<std::size_t>(got));
      if (static_cast<std::size_t>(got) < chunk) break;
      continue;
    }
    if (got == 0) {
      // Gone entirely, or only done sending (and still waiting for its replies)?
      pollfd state{connection.fd.get(), 0, 0};
      connection.peerGone = ::poll(&state, 1, 0) > 0 && (state.revents & POLLHUP);
      connection.peerDone = true;
      break;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) break;
    close(id);
    return;
  }
  dispatchWaiting(id);
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
  // Out of descriptors and without a retry timer (which needs one too): a finished call may
  // have given some back.
  if (!listenerWatched && acceptRetry == 0) watchListener(true);
  if (connection.peerGone) {
    dispatchWaiting(connectionId);
    return;
  }
  appendResponseFrame(connection.output, requestId, reply, size);
  // Whatever built a large reply lets go of it once it is handed over.
  if (size >= releaseThreshold) released(size);
  flush(connection);
  dispatchWaiting(connectionId);  // The answer may have made room for waiting calls.
}

void SocketMessenger::Core::flush(Connection& connection) {
  while (connection.outputStart < connection.output.size()) {
    const ssize_t sent =
        ::send(connection.fd.get(), connection.output.data() + connection.outputStart,
               connection.output.size() - connection.outputStart, MSG_NOSIGNAL);
    if (sent > 0) {
      connection.outputStart += static_cast<std::size_t>(sent);
      connection.lastActive = monotonicSeconds();
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // Gone: the calls it sent still run (see settle()), their replies go nowhere.
    connection.peerDone = true;
    connection.peerGone = true;
    connection.output.clear();
    connection.outputStart = 0;
    return;
  }
  if (connection.outputStart == connection.output.size()) {
    connection.output.clear();
    if (connection.output.capacity() > kKeptBufferBytes) {
      released(connection.output.capacity());
      connection.output.shrink_to_fit();
    }
    connection.outputStart = 0;
  } else if (connection.outputStart > connection.output.size() / 2) {
    connection.output.erase(
        connection.output.begin(),
        connection.output.begin() + static_cast<std::ptrdiff_t>(connection.outputStart));
    connection.outputStart = 0;
  }
}

void SocketMessenger::Core::onWritable(std::uint64_t id) {
  auto it = connections.find(id);
  if (it == connections.end()) return;
  Connection& connection = it->second;
  flush(connection);
  dispatchWaiting(id);
}

SocketMessenger::SocketMessenger(EventLoop& loop) : SocketMessenger(loop, Limits()) {}

SocketMessenger::SocketMessenger(EventLoop& loop, Limits limits)
    : core_(std::make_shared<Core>(loop, limits)) {}

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

void SocketMessenger::onMemoryReleased(std::size_t bytes, std::function<void()> handler) {
  core_->releaseThreshold = bytes;
  core_->releasedBytes = 0;
  core_->releaseHandler = std::move(handler);
}

const std::string& SocketMessenger::socketPath() const {
  return core_->path;
}

std::size_t SocketMessenger::connectionCount() const {
  return core_->connections.size();
}

}  // namespace quillmoss::engine
