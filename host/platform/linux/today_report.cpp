// Two children in turn, each watched through a pidfd on the loop: the report, then the opener.
#include "platform/linux/today_report.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace quillmoss::host {

namespace {

int reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

TodayReport::~TodayReport() {
  loop_.cancel(reportLimit_);
  loop_.cancel(grace_);
  for (Child& opener : openers_) loop_.unwatch(opener.ended.get());
  if (report_) {
    loop_.unwatch(report_->ended.get());
    ::kill(report_->pid, SIGKILL);
    reap(report_->pid);
  }
}

// In a session of its own with its streams on /dev/null: the desktop's handler may start a
// browser that outlives the host.
std::optional<TodayReport::Child> TodayReport::spawn(const std::vector<std::string>& args) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  posix::UniqueFd ended(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (!ended) {  // a kernel without pidfds: nothing to wait on without blocking
    ::kill(pid, SIGKILL);
    reap(pid);
    return std::nullopt;
  }
  return Child{pid, std::move(ended)};
}

void TodayReport::open() {
  if (busy() || page_.empty()) return;
  // The folder is private: the day's applications are nobody else's business.
  std::error_code ec;
  std::filesystem::create_directories(page_.parent_path(), ec);
  std::filesystem::permissions(page_.parent_path(), std::filesystem::perms::owner_all, ec);
  report_ = spawn({"quillmoss-report", "--out", page_.string()});
  if (!report_) return;
  loop_.watchReadable(report_->ended.get(), [this] { reportEnded(); });
  reportLimit_ = loop_.scheduleOnce(kReportTimeoutSeconds, [this] {
    reportLimit_ = 0;
    if (report_) ::kill(report_->pid, SIGKILL);
  });
}

void TodayReport::reportEnded() {
  loop_.unwatch(report_->ended.get());
  loop_.cancel(reportLimit_);
  reportLimit_ = 0;
  const int status = reap(report_->pid);
  report_.reset();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return;  // no page to open
  auto opener = spawn({"xdg-open", page_.string()});
  if (!opener) return;
  const pid_t pid = opener->pid;
  loop_.watchReadable(opener->ended.get(), [this, pid] { openerEnded(pid); });
  openers_.push_back(std::move(*opener));
  lastOpener_ = pid;
  grace_ = loop_.scheduleOnce(kOpenerGraceSeconds, [this] { grace_ = 0; });
}

void TodayReport::openerEnded(pid_t pid) {
  for (auto it = openers_.begin(); it != openers_.end(); ++it) {
    if (it->pid != pid) continue;
    loop_.unwatch(it->ended.get());
    reap(pid);
    openers_.erase(it);
    break;
  }
  if (pid == lastOpener_) {
    loop_.cancel(grace_);
    grace_ = 0;
  }
}

}  // namespace quillmoss::host
