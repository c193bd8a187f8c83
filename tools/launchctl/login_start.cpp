// The autostart entry, the user unit with its link, and the user manager told of changes.
#include "login_start.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "daily_data/daily_data.h"
#include "posix/unique_fd.h"

extern char** environ;

namespace quillmoss::launchd {

namespace fs = std::filesystem;

namespace {

// GNOME and Plasma start this target with the session and stop it at logout.
constexpr char kSessionTarget[] = "graphical-session.target";
constexpr int kReloadTimeoutMs = 5000;
constexpr std::size_t kMaxOwnFileBytes = 64 * 1024;

fs::path configFolder() {
  return daily::userFolder("XDG_CONFIG_HOME", ".config").value_or(fs::path());
}

fs::path unitFolder() {
  const fs::path config = configFolder();
  return config.empty() ? config : config / "systemd" / "user";
}

fs::path wantsLink(const std::string& unitName) {
  return unitFolder() / (std::string(kSessionTarget) + ".wants") / unitName;
}

bool isUnitName(const std::string& label) {
  for (char c : label) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-' || c == ':';
    if (!plain) return false;
  }
  return !label.empty() && label.size() <= 240;
}

// A manager of this user listens on its private socket in the runtime folder.
bool userManagerRuns() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') return false;
  struct stat info {};
  const fs::path socket = fs::path(runtime) / "systemd" / "private";
  return ::lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == ::getuid();
}

// A value of type string in a desktop entry.
std::string desktopString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

// One quoted argument of Exec, before the string escaping of the whole value.
std::string execArgument(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

// One quoted argument of a unit's command line: C escapes, specifiers and variables kept literal.
std::string unitArgument(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '%' || c == '$') out += c;
    out += c;
  }
  return out + "\"";
}

std::string unitText(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '%' ? std::string("%%") : std::string(1, c);
  return out;
}

Error fileError(const std::string& what, const fs::path& path, int error) {
  return posixError(what + " " + path.string(), error);
}

// The file's bytes when it is a small regular file (a link is never read through).
std::optional<std::string> ownFileText(const fs::path& path) {
  posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::size_t>(info.st_size) > kMaxOwnFileBytes) {
    return std::nullopt;
  }
  std::string text(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return text;
}

// True when the file had to be written.
Expected<bool> writeIfChanged(const fs::path& path, const std::string& text) {
  if (ownFileText(path) == text) return false;
  if (Status written = daily::writeFileAtomically(path, text); !written) return written.error();
  return true;
}

// A relative link put in place by rename, so whatever was planted at its name is replaced.
Expected<bool> linkIfChanged(const fs::path& link, const std::string& target) {
  char current[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), current, sizeof current);
  if (n >= 0 && std::string(current, static_cast<std::size_t>(n)) == target) return false;
  std::error_code ec;
  fs::create_directories(link.parent_path(), ec);
  const fs::path temporary = link.parent_path() / ("." + link.filename().string() + ".tmp");
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), link.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return fileError("cannot link", link, error);
  }
  return true;
}

Status removeIfThere(const fs::path& path) {
  if (path.empty() || ::unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) {
    return {};
  }
  return fileError("cannot remove", path, errno);
}

// "systemctl --user daemon-reload", so a running manager knows the unit at the next login; a
// manager that does not answer in time is left to find it when it starts again.
void reloadUserManager() {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  }
  const char* argv[] = {"systemctl", "--user", "--no-ask-password", "daemon-reload", nullptr};
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return;
  posix::UniqueFd ended(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  pollfd ready{ended.get(), POLLIN, 0};
  if (ended && ::poll(&ready, 1, kReloadTimeoutMs) == 0) ::kill(pid, SIGKILL);
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

fs::path autostartEntryPath(const std::string& label) {
  const fs::path config = configFolder();
  return config.empty() ? config : config / "autostart" / (label + ".desktop");
}

fs::path userUnitPath(const std::string& label) {
  const fs::path folder = unitFolder();
  return folder.empty() || !isUnitName(label) ? fs::path() : folder / (label + ".service");
}

std::string autostartEntryText(const LoginStart& job, bool unitToo) {
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=" +
      desktopString(fs::path(job.program).filename().string()) +
      "\n"
      "Comment=" +
      desktopString("Loads the launch agent " + job.label + " at login") +
      "\n"
      "TryExec=" +
      desktopString(job.launchctl) +
      "\n"
      "Exec=" +
      desktopString(execArgument(job.launchctl) + " load -w " + execArgument(job.plist)) +
      "\n"
      "Terminal=false\n"
      "NoDisplay=true\n"
      "X-GNOME-Autostart-enabled=true\n";
  // The user unit below starts the job there; other desktops run the entry.
  if (unitToo) text += "X-systemd-skip=true\nX-GNOME-HiddenUnderSystemd=true\n";
  return text;
}

std::string userUnitText(const LoginStart& job) {
  const std::string launchctl = unitArgument(job.launchctl), plist = unitArgument(job.plist);
  return "[Unit]\n"
         "Description=" +
         unitText("Launch agent " + job.label + ", loaded at login") +
         "\n"
         "PartOf=" +
         kSessionTarget +
         "\n"
         "After=" +
         kSessionTarget +
         "\n\n"
         "[Service]\n"
         "Type=oneshot\n"
         "RemainAfterExit=yes\n"
         // "-": a job another login mechanism loaded first is no failure.
         "ExecStart=-" +
         launchctl + " load -w " + plist +
         "\n"
         // At logout the job ends (it saves its work on SIGTERM) but stays registered.
         "ExecStop=-" +
         launchctl + " unload " + plist +
         "\n\n"
         "[Install]\n"
         "WantedBy=" +
         kSessionTarget + "\n";
}

Status registerLoginStart(const LoginStart& job) {
  const fs::path entry = autostartEntryPath(job.label);
  if (entry.empty()) return Error{kPosixErrorDomain, ENOENT, "no home folder"};
  const fs::path unit = userUnitPath(job.label);
  const bool unitToo = !unit.empty() && userManagerRuns();
  if (unitToo) {
    auto wroteUnit = writeIfChanged(unit, userUnitText(job));
    if (!wroteUnit) return wroteUnit.error();
    const std::string unitName = unit.filename().string();
    auto linked = linkIfChanged(wantsLink(unitName), "../" + unitName);
    if (!linked) return linked.error();
    if (*wroteUnit || *linked) reloadUserManager();
  }
  auto wroteEntry = writeIfChanged(entry, autostartEntryText(job, unitToo));
  if (!wroteEntry) return wroteEntry.error();
  return {};
}

Status unregisterLoginStart(const std::string& label) {
  Status entry = removeIfThere(autostartEntryPath(label));
  const fs::path unit = userUnitPath(label);
  if (unit.empty()) return entry;
  struct stat info {};
  const bool hadUnit = ::lstat(unit.c_str(), &info) == 0;
  Status link = removeIfThere(wantsLink(unit.filename().string()));
  Status file = removeIfThere(unit);
  if (hadUnit && userManagerRuns()) reloadUserManager();
  if (!entry) return entry;
  return link ? file : link;
}

}  // namespace quillmoss::launchd
