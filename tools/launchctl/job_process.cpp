// Double fork with setsid for detached jobs; /proc for identity; pidfd to wait for an end.
#include "job_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace quillmoss::launchd {

std::optional<unsigned long long> processStartTime(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!in || !std::getline(in, text)) return std::nullopt;
  // The command name is in parentheses and may hold anything; fields follow the last ')'.
  auto close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 1));
  std::string state;
  fields >> state;
  if (state == "Z" || state == "X" || state == "x") return std::nullopt;
  std::string skipped;
  for (int field = 4; field < 22; ++field) fields >> skipped;  // fields 4..21
  unsigned long long start = 0;
  if (!(fields >> start)) return std::nullopt;
  return start;
}

bool processAlive(pid_t pid, unsigned long long startTime) {
  auto start = processStartTime(pid);
  return start && *start == startTime;
}

namespace {

bool writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

size_t readUpTo(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, p + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

[[noreturn]] void runGrandchild(int report, const std::string& program,
                                const std::vector<std::string>& arguments) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
  int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
  }
  // Keep only the report pipe (close-on-exec) beyond the standard streams.
  ::close_range(3, report > 3 ? static_cast<unsigned>(report - 1) : 2u, 0);
  ::close_range(static_cast<unsigned>(report + 1), ~0u, 0);
  if (::chdir("/") != 0) {
    // stays where it is
  }
  std::vector<char*> argv;
  for (const auto& arg : arguments) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execvp(program.c_str(), argv.data());
  int error = errno;
  writeAll(report, &error, sizeof error);
  _exit(127);
}

}  // namespace

Launched launchDetached(const std::string& program, const std::vector<std::string>& arguments) {
  Launched launched;
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    launched.execError = errno;
    return launched;
  }
  pid_t middle = ::fork();
  if (middle < 0) {
    launched.execError = errno;
    ::close(report[0]);
    ::close(report[1]);
    return launched;
  }
  if (middle == 0) {
    ::close(report[0]);
    ::setsid();
    pid_t job = ::fork();
    if (job == 0) runGrandchild(report[1], program, arguments);
    pid_t sent = job;
    writeAll(report[1], &sent, sizeof sent);
    _exit(job < 0 ? 1 : 0);
  }
  ::close(report[1]);
  while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_t job = -1;
  if (readUpTo(report[0], &job, sizeof job) != sizeof job || job <= 0) {
    launched.execError = ECHILD;
    ::close(report[0]);
    return launched;
  }
  // The start time is read before the exec result, while the process surely exists.
  auto start = processStartTime(job);
  int error = 0;
  // End of file here means the exec succeeded (the pipe closed on exec).
  if (readUpTo(report[0], &error, sizeof error) == sizeof error && error != 0) {
    launched.execError = error;
  } else if (start) {
    launched.pid = job;
    launched.startTime = *start;
  }
  ::close(report[0]);
  return launched;
}

namespace {

// Waits until the process is gone or the time is up; true when it is gone.
bool waitForEnd(pid_t pid, unsigned long long startTime, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int watch = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  // The pidfd may name a newer process if the job is already gone; check identity first.
  bool gone = !processAlive(pid, startTime);
  while (!gone) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (watch >= 0) {
      pollfd ready{watch, POLLIN, 0};
      // Short slices keep the identity check fresh whatever the pidfd reports.
      ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    } else {
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    }
    gone = !processAlive(pid, startTime);
  }
  if (watch >= 0) ::close(watch);
  return gone;
}

}  // namespace

bool terminateProcess(pid_t pid, unsigned long long startTime, std::chrono::milliseconds grace) {
  if (!processAlive(pid, startTime)) return true;
  ::kill(pid, SIGTERM);
  if (waitForEnd(pid, startTime, grace)) return true;
  if (processAlive(pid, startTime)) ::kill(pid, SIGKILL);
  return waitForEnd(pid, startTime, std::chrono::seconds(2));
}

}  // namespace quillmoss::launchd
