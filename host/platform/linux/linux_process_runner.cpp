// posix_spawn of /usr/bin/env with the output read while the child runs, a time limit,
// and the child always reaped.
#include "platform/linux/linux_process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "daily_data/json_text.h"
#include "platform/linux/background_queue.h"

extern char** environ;

namespace quillmoss::host {

namespace {

// A posix_spawn options object, destroyed with its owner.
template <typename T, int (*Init)(T*), int (*Destroy)(T*)>
class SpawnOptions {
 public:
  SpawnOptions() { ok_ = Init(&value_) == 0; }
  ~SpawnOptions() {
    if (ok_) Destroy(&value_);
  }
  SpawnOptions(const SpawnOptions&) = delete;
  SpawnOptions& operator=(const SpawnOptions&) = delete;
  T* get() { return &value_; }
  bool ok() const { return ok_; }

 private:
  T value_{};
  bool ok_ = false;
};

using SpawnActions = SpawnOptions<posix_spawn_file_actions_t, ::posix_spawn_file_actions_init,
                                  ::posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnOptions<posix_spawnattr_t, ::posix_spawnattr_init, ::posix_spawnattr_destroy>;

// Owns a started child: kills its process group and reaps it unless it was reaped already.
class Child {
 public:
  explicit Child(pid_t pid) : pid_(pid) {}
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    reap();
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t pid() const { return pid_; }
  // True once the child has ended and is reaped.
  bool reapIfExited() {
    int status = 0;
    pid_t done;
    do done = ::waitpid(pid_, &status, WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done == pid_ || (done < 0 && errno == ECHILD)) {
      pid_ = -1;
      return true;
    }
    return false;
  }
  void reap() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }

 private:
  pid_t pid_;
};

}  // namespace

LinuxProcessRunner::LinuxProcessRunner() : LinuxProcessRunner(Limits()) {}

LinuxProcessRunner::LinuxProcessRunner(Limits limits)
    : limits_(limits), ended_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void LinuxProcessRunner::endAll() {
  endedFlag_.store(true);
  if (ended_) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(ended_.get(), &one, sizeof one);
  }
}

std::optional<std::string> LinuxProcessRunner::run(const std::vector<std::string>& args) {
  if (endedFlag_.load()) return std::nullopt;
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return std::nullopt;
  posix::UniqueFd readEnd(pipeEnds[0]);
  posix::UniqueFd writeEnd(pipeEnds[1]);

  // stdin and stderr go to /dev/null: the child must not read the host's input, and an
  // unread stderr pipe would stall a chatty child once the pipe buffer is full.
  SpawnActions actions;
  SpawnAttributes attributes;
  if (!actions.ok() || !attributes.ok()) return std::nullopt;
  sigset_t noSignals;
  sigset_t defaults;
  sigemptyset(&noSignals);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);  // the host may ignore it; the child must not inherit that
  if (::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) != 0 ||
      ::posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), 1) != 0 ||
      ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0) != 0 ||
      ::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3) != 0 ||
      ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                       POSIX_SPAWN_SETSIGDEF) != 0 ||
      ::posix_spawnattr_setpgroup(attributes.get(), 0) != 0 ||
      ::posix_spawnattr_setsigmask(attributes.get(), &noSignals) != 0 ||
      ::posix_spawnattr_setsigdefault(attributes.get(), &defaults) != 0) {
    return std::nullopt;
  }

  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  static char envPath[] = "/usr/bin/env";
  argv.push_back(envPath);
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  if (::posix_spawn(&pid, envPath, actions.get(), attributes.get(), argv.data(), environ) != 0) {
    return std::nullopt;
  }
  Child child(pid);
  writeEnd.reset();
  BackgroundQueue::BlockingWait waiting;
  posix::UniqueFd exitWatch(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limits_.timeout;
  std::string output;
  char buffer[1 << 16];

  // Reads what is there now; false once the pipe is at end of file.
  auto drain = [&]() -> bool {
    for (;;) {
      ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
      if (n > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
        if (output.size() > limits_.maxOutputBytes) return false;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      return n < 0 && errno == EAGAIN;
    }
  };

  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;  // Child's destructor kills and reaps
    pollfd watched[3];
    nfds_t count = 0;
    if (ended_) watched[count++] = {ended_.get(), POLLIN, 0};
    if (readEnd.get() >= 0) watched[count++] = {readEnd.get(), POLLIN, 0};
    if (exitWatch.get() >= 0) watched[count++] = {exitWatch.get(), POLLIN, 0};
    // Without a process descriptor the exit is noticed by polling now and then.
    int wait = static_cast<int>(left.count());
    if (exitWatch.get() < 0 && wait > 20) wait = 20;
    int ready = ::poll(watched, count, wait);
    if (ready < 0 && errno != EINTR) return std::nullopt;
    if (endedFlag_.load()) return std::nullopt;  // Child's destructor kills and reaps

    if (readEnd.get() >= 0 && !drain()) {
      if (output.size() > limits_.maxOutputBytes) return std::nullopt;
      readEnd.reset();  // end of file
    }
    if (child.reapIfExited()) {
      // Whatever the child wrote before it ended is in the pipe now; a grandchild that
      // kept the pipe open must not hold us up.
      if (readEnd.get() >= 0 && !drain() && output.size() > limits_.maxOutputBytes) {
        return std::nullopt;
      }
      break;
    }
  }
  if (!daily::isValidUtf8(output)) return std::nullopt;
  return output;
}

}  // namespace quillmoss::host
