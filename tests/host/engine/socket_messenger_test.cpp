// The socket transport end to end: a real client socket against the messenger on its loop.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "engine/engine_client.h"
#include "engine/engine_socket_path.h"
#include "engine/frame_format.h"
#include "engine/socket_messenger.h"
#include "platform/linux/background_queue.h"
#include "test_support.h"

namespace quillmoss::engine {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::LoopThread;
using testing::TempDir;
using Status = EngineClient::ReceiveStatus;

constexpr int kWaitMs = 10000;

Bytes bytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// `count` calls on `channel`, numbered from 1, each with its number as text, in one buffer.
Bytes calls(const char* channel, std::uint32_t count) {
  Bytes frames;
  for (std::uint32_t id = 1; id <= count; ++id) {
    const Bytes message = bytesOf(std::to_string(id));
    appendRequestFrame(frames, id, channel, message.data(), message.size());
  }
  return frames;
}

// The next reply on `client`; request id 0 when none came.
EngineResponse nextReply(EngineClient& client) {
  EngineResponse response;
  return client.receive(response, kWaitMs) == Status::kOk ? response : EngineResponse{};
}

void expectReply(EngineClient& client, std::uint32_t id, const Bytes& reply) {
  const EngineResponse response = nextReply(client);
  EXPECT_EQ(response.requestId, id);
  EXPECT_EQ(response.reply, reply);
}

// "echo" answers "echo:" and the message; "work" answers big_, or holds its reply if none.
class SocketMessengerTest : public ::testing::Test {
 protected:
  void SetUp() override { listen({}); }
  // A messenger held to these limits in place of the current one; before the loop starts.
  void listen(SocketMessenger::Limits limits) {
    messenger_.reset();
    messenger_ = std::make_unique<SocketMessenger>(loop_.loop(), limits);
    ASSERT_TRUE(messenger_->listen(socketPath_));
    messenger_->setMessageHandler(
        "echo", [](const std::uint8_t* data, std::size_t size, BinaryReply reply) {
          Bytes out = bytesOf("echo:");
          out.insert(out.end(), data, data + size);
          reply(out.data(), out.size());
        });
    messenger_->setMessageHandler(
        "work", [this](const std::uint8_t*, std::size_t, BinaryReply reply) {
          ++handled_;
          big_.empty() ? held_.push_back(std::move(reply)) : reply(big_.data(), big_.size());
        });
  }
  void TearDown() override {
    loop_.stop();
    messenger_.reset();
  }

  // A connected client; the exception fails the test when there is none.
  std::unique_ptr<EngineClient> connect() {
    auto client = EngineClient::connect(socketPath_, kWaitMs);
    if (!client) throw std::runtime_error("cannot connect: " + client.error().message);
    return std::move(*client);
  }
  void expectEcho(EngineClient& client, std::uint32_t id, const std::string& text) {
    const Bytes message = bytesOf(text);
    ASSERT_TRUE(client.sendRequest(id, "echo", message.data(), message.size()));
    expectReply(client, id, bytesOf("echo:" + text));
  }
  // Polls a condition on the loop's thread until it holds or ten seconds pass.
  template <typename Predicate>
  bool waitOnLoop(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (loop_.onLoop([&] { return predicate(); })) return true;
      std::this_thread::yield();
    }
    return false;
  }
  // Answers the held calls. On the loop's thread.
  void answerHeld() {
    for (auto& reply : std::exchange(held_, {})) reply(nullptr, 0);
  }

  TempDir dir_;
  LoopThread loop_;
  // Deeper than a socket address holds (a deep checkout's runtime folder, say): host and
  // client still meet at the socket's own path.
  std::string runtime_ = dir_.string() + "/" + std::string(100, 'd');
  bool made_ = fs::create_directory(runtime_);
  std::string socketPath_ = runtime_ + "/quillmoss/engine.sock";
  std::unique_ptr<SocketMessenger> messenger_;
  // Touched by handlers on the loop's thread; members so they outlive the loop in every case.
  std::vector<BinaryReply> held_;
  int handled_ = 0;
  Bytes big_;
};

TEST_F(SocketMessengerTest, RepliesFromWorkerThreadsInAnyOrderAndDroppedRepliesArrive) {
  host::BackgroundQueue workers(3);
  // Answers with the message on a worker; never for "drop", whose empty reply must still come.
  const auto handler = [&](const std::uint8_t* data, std::size_t size, BinaryReply reply) {
    workers.async([copy = Bytes(data, data + size), reply = std::move(reply)] {
      if (copy != bytesOf("drop")) reply(copy.data(), copy.size());
    });
  };
  messenger_->setMessageHandler("async", handler);
  loop_.start();
  auto client = connect();
  std::map<std::uint32_t, Bytes> expected, received;
  for (std::uint32_t id = 1; id <= 40; ++id) {
    const Bytes message = bytesOf(id % 10 == 0 ? "drop" : "w" + std::to_string(id));
    expected[id] = id % 10 == 0 ? Bytes{} : message;
    ASSERT_TRUE(client->sendRequest(id, "async", message.data(), message.size()));
  }
  for (int i = 0; i < 40; ++i) {
    const EngineResponse response = nextReply(*client);
    received[response.requestId] = response.reply;
  }
  EXPECT_EQ(received, expected);
  loop_.stop();  // Before the queue its handler uses goes.
}

// A half-closed client still gets its replies, then the end.
TEST_F(SocketMessengerTest, FramesAreJoinedAcrossWritesAndBadOnesCloseOnlyTheirConnection) {
  loop_.start();
  auto good = connect();
  const std::vector<Bytes> badFrames = {
      {0x01, 0, 0, 0x01},                    // One byte longer than the largest frame allowed.
      {5, 0, 0, 0, 1, 0, 0, 0, 0},           // Too short for its header.
      {7, 0, 0, 0, 1, 0, 0, 0, 10, 0, 'e'},  // Claims a 10-byte name in a 7-byte rest.
  };
  ASSERT_EQ(readU32(badFrames[0].data()), kMaxFrameBytes + 1);
  EngineResponse response;
  for (const Bytes& frame : badFrames) {
    auto bad = connect();
    ASSERT_TRUE(bad->sendRaw(frame.data(), frame.size()));
    EXPECT_EQ(bad->receive(response, kWaitMs), Status::kClosed);
    expectEcho(*good, 9, "still here");
  }
  const Bytes frames = calls("echo", 3);
  for (const std::uint8_t& byte : frames) ASSERT_TRUE(good->sendRaw(&byte, 1));
  ASSERT_EQ(::shutdown(good->fd(), SHUT_WR), 0);
  for (std::uint32_t id = 1; id <= 3; ++id)
    expectReply(*good, id, bytesOf("echo:" + std::to_string(id)));
  EXPECT_EQ(good->receive(response, kWaitMs), Status::kClosed);
}

// A client that leaves at once: its calls still run, and their replies reach nobody else.
TEST_F(SocketMessengerTest, ClientGoneWithCallsAndRepliesPendingHarmsNothing) {
  loop_.start();
  {
    auto leaving = connect();
    Bytes frames = calls("work", 5);
    frames.insert(frames.end(), {9, 0, 0});  // And the start of a frame never finished.
    ASSERT_TRUE(leaving->sendRaw(frames.data(), frames.size()));
  }  // Closed, likely before the host has read a byte.
  ASSERT_TRUE(waitOnLoop([&] {
    if (handled_ < 5) answerHeld();
    return handled_ == 5;
  }));
  ASSERT_TRUE(waitOnLoop([&] { return messenger_->connectionCount() == 0; }));
  auto next = connect();  // Likely to reuse the departed client's descriptor number.
  ASSERT_TRUE(waitOnLoop([&] { return messenger_->connectionCount() == 1; }));
  loop_.onLoop([&] { answerHeld(); });
  expectEcho(*next, 77, "fresh");  // Nothing of the old client's replies leaked here.
}

// Past its bound a client's calls wait unread until it has answers; others are served meanwhile.
// The host's own bound stays below the background queue's three workers.
TEST_F(SocketMessengerTest, CallsInFlightPerClientAreBoundedAndOthersAreServedMeanwhile) {
  const int bound = static_cast<int>(SocketMessenger::Limits{}.maxCallsInFlight);
  ASSERT_TRUE(bound > 0 && bound < 3 && 100 % bound == 0) << bound;
  loop_.start();
  auto greedy = connect();
  auto other = connect();
  const Bytes frames = calls("work", 100);
  ASSERT_TRUE(greedy->sendRaw(frames.data(), frames.size()));
  ASSERT_TRUE(waitOnLoop([&] { return handled_ == bound; }));
  expectEcho(*other, 1, "served");
  EXPECT_EQ(loop_.onLoop([&] { return handled_; }), bound);
  for (int round = 2; round <= 100 / bound; ++round) {
    loop_.onLoop([&] { answerHeld(); });
    ASSERT_TRUE(waitOnLoop([&] { return handled_ == bound * round; })) << round;
  }
  loop_.onLoop([&] { answerHeld(); });
  for (std::uint32_t id = 1; id <= 100; ++id) ASSERT_EQ(nextReply(*greedy).requestId, id);
}

// A client not reading its replies is served again only as it reads them; others meanwhile.
// The host's own bound on what it holds, with many calls allowed in flight.
TEST_F(SocketMessengerTest, UnreadRepliesAreBoundedAndArriveWholeAsTheClientReads) {
  listen({.maxCallsInFlight = 64});
  big_ = Bytes(256 * 1024, 0x5a);  // More than the socket buffers: written in parts.
  loop_.start();
  auto reader = connect();
  auto other = connect();
  constexpr std::uint32_t kCalls = 100;
  const Bytes frames = calls("work", kCalls);
  ASSERT_TRUE(reader->sendRaw(frames.data(), frames.size()));
  ASSERT_TRUE(reader->sendRequest(kCalls + 1, "echo", nullptr, 0));
  ASSERT_TRUE(waitOnLoop([&] { return handled_ > 0; }));
  expectEcho(*other, 1, "served");
  // What the socket itself buffers, plus the bound, and nothing like all of them.
  EXPECT_LT(loop_.onLoop([&] { return handled_; }), 64);
  for (std::uint32_t id = 1; id <= kCalls; ++id) expectReply(*reader, id, big_);
  EXPECT_EQ(nextReply(*reader).reply, bytesOf("echo:"));  // Small, behind the large ones.
  EXPECT_EQ(loop_.onLoop([&] { return handled_; }), static_cast<int>(kCalls));
}

// Past the limit the listener is left alone (no spinning on a full descriptor table either).
TEST_F(SocketMessengerTest, ClientsBeyondTheLimitWaitUntilOneLeaves) {
  listen({.maxCallsInFlight = 4, .maxHeldBytes = 1 << 20, .maxClients = 2});
  auto first = connect();
  auto second = connect();
  auto third = connect();  // Accepted by the kernel's backlog, not yet by the host.
  const Bytes message = bytesOf("waited");
  ASSERT_TRUE(third->sendRequest(3, "echo", message.data(), message.size()));
  loop_.start();
  expectEcho(*first, 1, "a");
  expectEcho(*second, 2, "b");
  EXPECT_EQ(loop_.onLoop([&] { return messenger_->connectionCount(); }), 2u);
  first.reset();
  expectReply(*third, 3, bytesOf("echo:waited"));
}

// A call longer than a client may hold closes it on its header; one that fits is served, and
// its buffers are reported let go when the client leaves.
TEST_F(SocketMessengerTest, CallFramesAreBoundedByTheClientsBudget) {
  listen({.maxCallsInFlight = 2, .maxHeldBytes = 64 * 1024, .maxClients = 8});
  int releases = 0;
  messenger_->onMemoryReleased(100 * 1024, [&] { ++releases; });
  loop_.start();
  auto fits = connect();
  expectEcho(*fits, 1, std::string(60 * 1024, 'f'));
  fits.reset();
  EXPECT_TRUE(waitOnLoop([&] { return releases == 1; }));
  auto over = connect();
  const Bytes header = {0x00, 0x00, 0x01, 0x00};  // 64 KiB still to come: 4 bytes too many.
  ASSERT_TRUE(over->sendRaw(header.data(), header.size()));
  EngineResponse response;
  EXPECT_EQ(over->receive(response, kWaitMs), Status::kClosed);
}

// At the client limit, clients quiet for the idle time make room; a busy one stays.
TEST_F(SocketMessengerTest, IdleClientsAreClosedWhenTheHostIsFull) {
  listen({.maxCallsInFlight = 2, .maxHeldBytes = 1 << 20, .maxClients = 2, .idleSeconds = 0.05});
  auto busy = connect();
  auto idle = connect();
  ASSERT_TRUE(busy->sendRequest(1, "work", nullptr, 0));
  loop_.start();
  ASSERT_TRUE(waitOnLoop([&] { return handled_ == 1; }));
  auto waiting = connect();  // In the backlog until the idle client is closed.
  expectEcho(*waiting, 2, "room");
  EngineResponse response;
  EXPECT_EQ(idle->receive(response, kWaitMs), Status::kClosed);
  loop_.onLoop([&] { answerHeld(); });
  expectReply(*busy, 1, {});
}

TEST_F(SocketMessengerTest, SocketAndFolderArePrivateAndTheFileGoesWithTheMessenger) {
  EXPECT_EQ(fs::status(runtime_ + "/quillmoss").permissions(), fs::perms(0700));
  EXPECT_EQ(fs::symlink_status(socketPath_).type(), fs::file_type::socket);
  EXPECT_EQ(fs::symlink_status(socketPath_).permissions(), fs::perms(0600));

  // A second host at the same place is refused while the first still answers.
  SocketMessenger second(loop_.loop());
  auto refused = second.listen(socketPath_);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().message.find("another quillmoss host"), std::string::npos);

  messenger_.reset();
  EXPECT_FALSE(fs::exists(socketPath_));
}

TEST_F(SocketMessengerTest, PeerOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  loop_.start();
  // Open the way so that only the credential check stands between the peer and the host.
  for (const std::string& folder : {dir_.string(), runtime_, runtime_ + "/quillmoss"}) {
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  }
  ASSERT_EQ(::chmod(socketPath_.c_str(), 0777), 0);
  const Bytes frame = calls("echo", 1);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Exit 0: refused; 1: answered; 2: cannot act as another user; 3: could not connect.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto address = socketAddress(socketPath_);
    if (::connect(fd, address->get(), address->size()) != 0) ::_exit(3);
    (void)::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
    char buffer[64];
    ::_exit(::recv(fd, buffer, sizeof buffer, 0) > 0 ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "could not act as another user here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  auto client = connect();  // The host's own user is still served.
  expectEcho(*client, 2, "hi");
}

TEST(SocketPlace, StaleSocketIsReplacedOpenFolderMadePrivateAndAnythingElseInTheWayRefused) {
  TempDir dir;
  LinuxEventLoop loop;
  SocketMessenger messenger(loop);
  const std::string root = dir.string(), folder = root + "/q";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  ASSERT_TRUE(preparePrivateFolder(folder));
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms(0700));
  std::ofstream(folder + "/file.sock") << "keep me";
  fs::create_directory(root + "/elsewhere");
  fs::create_directory_symlink(root + "/elsewhere", root + "/link");
  std::ofstream(root + "/file") << "x";
  // A file where the socket goes, a symlink or a file as the folder, a name too long.
  for (const std::string& path :
       {folder + "/file.sock", root + "/link/engine.sock", root + "/file/engine.sock",
        folder + "/" + std::string(200, 'a')}) {
    EXPECT_FALSE(messenger.listen(path)) << path;
  }
  EXPECT_TRUE(fs::is_regular_file(folder + "/file.sock"));

  const std::string path = folder + "/engine.sock";
  {
    posix::UniqueFd dead(::socket(AF_UNIX, SOCK_STREAM, 0));
    const auto address = socketAddress(path);
    ASSERT_EQ(::bind(dead.get(), address->get(), address->size()), 0);
  }  // Bound, never listening, now closed: what a crashed host leaves.
  EXPECT_TRUE(messenger.listen(path));

  if (::geteuid() != 0) GTEST_SKIP() << "handing a folder to another user needs root";
  const std::string foreign = dir.string() + "/foreign";
  ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
  if (::chown(foreign.c_str(), 4242, 4242) != 0) GTEST_SKIP() << "no other user to hand it to";
  auto refused = preparePrivateFolder(foreign);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().message.find("another user"), std::string::npos);
}

// The path under the runtime folder is what every end-to-end client connects to.
TEST(SocketPlace, DefaultPathWithoutARuntimeFolderIsTheUsersOwnUnderTmp) {
  ::unsetenv("XDG_RUNTIME_DIR");  // Each test runs in a process of its own.
  EXPECT_EQ(defaultEngineSocketPath(),
            "/tmp/quillmoss-" + std::to_string(::getuid()) + "/engine.sock");
}

}  // namespace
}  // namespace quillmoss::engine
