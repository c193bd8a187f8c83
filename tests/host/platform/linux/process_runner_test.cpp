// The real process runner on real children: output, its cap, the time limit and shutdown.
#include "platform/linux/linux_process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "platform/linux/background_queue.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

using host::LinuxProcessRunner;
using namespace std::chrono_literals;

TEST(ProcessRunnerTest, ReturnsStandardOutputAsUtf8TextOrNothingAndLeaksNoDescriptor) {
  const int leaky = ::open("/dev/null", O_RDONLY);  // Deliberately without O_CLOEXEC.
  ASSERT_GE(leaky, 3);
  LinuxProcessRunner runner({.timeout = 20s});
  const std::pair<std::vector<std::string>, std::optional<std::string>> cases[] = {
      {{"printf", "%s|", "one arg with spaces", "two"}, "one arg with spaces|two|"},
      {{"true"}, ""},
      {{"printf", "caf\xc3\xa9"}, "caf\xc3\xa9"},
      {{"printf", "\\377"}, std::nullopt},
      {{"printf", "\\300\\257"}, std::nullopt},  // overlong '/'
      // Read while the child runs, and neither a chatty stderr nor a grandchild stalls it.
      {{"head", "-c", "3000000", "/dev/zero"}, std::string(3000000, '\0')},
      {{"sh", "-c", "head -c 2000000 /dev/zero >&2; echo done"}, "done\n"},
      {{"sh", "-c", "sleep 30 & echo started"}, "started\n"},
      // An argument longer than the kernel takes fails the launch; env reports on stderr.
      {{"true", std::string(200000, 'x')}, std::nullopt},
      {{"quillmoss-no-such-program"}, ""},
      {{"ls", "/proc/self/fd"}, "0\n1\n2\n3\n"},  // Its streams and the folder it reads only.
  };
  for (const auto& [args, output] : cases) EXPECT_EQ(runner.run(args), output) << args.back();
  ::close(leaky);
}

// Output past the cap, whether or not the child ends, and a child past the time limit count as
// none, at once; the hung child is killed, group and all.
TEST(ProcessRunnerTest, OutputPastTheCapAndAChildPastTheTimeLimitCountAsNone) {
  LinuxProcessRunner runner({.timeout = 20s, .maxOutputBytes = 1 << 16});
  EXPECT_EQ(runner.run({"head", "-c", "65536", "/dev/zero"}), std::string(1 << 16, '\0'));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runner.run({"head", "-c", "65537", "/dev/zero"}), std::nullopt);
  EXPECT_EQ(runner.run({"sh", "-c", "head -c 1000000 /dev/zero; exec sleep 60"}), std::nullopt);
  LinuxProcessRunner hasty({.timeout = 300ms});
  EXPECT_EQ(hasty.run({"sh", "-c", "echo partial; exec sleep 60"}), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);  // Neither at 20 s nor at 60 s.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);            // Nothing left for us to reap.
}

// A slow child (launchctl stuck, say) keeps its worker, but the queue starts another.
TEST(ProcessRunnerTest, AWaitingChildHoldsBackNoOtherTaskOfItsQueue) {
  LinuxProcessRunner runner;
  std::promise<std::optional<std::string>> slow;
  std::promise<void> quick;
  {
    host::BackgroundQueue queue(1);
    queue.async([&] { slow.set_value(runner.run({"sleep", "60"})); });
    queue.async([&] { quick.set_value(); });
    EXPECT_EQ(quick.get_future().wait_for(20s), std::future_status::ready);
    runner.endAll();  // Also lets the queue's destructor return at once.
  }
  auto ended = slow.get_future();
  ASSERT_EQ(ended.wait_for(0s), std::future_status::ready);
  EXPECT_EQ(ended.get(), std::nullopt);
}

// Shutdown: children running are killed and reaped, and no new one starts.
TEST(ProcessRunnerTest, EndAllEndsRunningChildrenAndRefusesNewOnes) {
  LinuxProcessRunner runner;
  TempDir folder;
  const std::string marker = folder.string() + "/started";
  auto running = std::async(std::launch::async, [&] {
    return runner.run({"sh", "-c", "touch \"$0\"; exec sleep 60", marker});
  });
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (::access(marker.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ASSERT_EQ(::access(marker.c_str(), F_OK), 0);
  runner.endAll();
  ASSERT_EQ(running.wait_for(20s), std::future_status::ready);
  EXPECT_EQ(running.get(), std::nullopt);
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);  // Reaped, group and all.
  EXPECT_EQ(runner.run({"echo", "late"}), std::nullopt);
}

}  // namespace
}  // namespace quillmoss::testing
