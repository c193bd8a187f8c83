// Installation of the daemon and its launch agent, with the platform's errors passed on.
#include "usage/daemon_installer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "daily_data/daily_data.h"
#include "daily_data/json_text.h"
#include "posix/stat_times.h"
#include "posix/sync_to_disk.h"
#include "posix/unique_fd.h"

namespace quillmoss::host {

namespace fs = std::filesystem;

namespace {

constexpr char kPlaceholder[] = "DAEMON_PATH_PLACEHOLDER";
constexpr char kCocoaErrorDomain[] = "NSCocoaErrorDomain";
constexpr int kFileReadInapplicableEncoding = 261;
constexpr int kFileWriteUnknown = 512;
constexpr int kFileWriteInapplicableEncoding = 517;

Error fileSystemError(const std::error_code& ec, const std::string& what) {
  return Error{kPosixErrorDomain, ec.value(), what + ": " + ec.message()};
}

std::string quoted(const fs::path& path) {
  const std::string& text = path.native();
  std::string out;
  out.reserve(text.size() + 2);
  out.append(1, '"').append(text).append(1, '"');
  return out;
}

bool later(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// A byte copy, executable, that keeps the source's access and modification times, built
// beside the target and renamed into place, so an interrupted copy never leaves a half file that
// would look newer than the bundle's daemon.
Status copyKeepingTimes(const fs::path& source, const fs::path& target) {
  const std::string what = "Could not copy " + quoted(source) + " to " + quoted(target);
  posix::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return posixError(what, errno);
  struct stat sourceStat {};
  if (::fstat(in.get(), &sourceStat) != 0) return posixError(what, errno);

  std::string temporaryName(1, '.');
  temporaryName.append(target.filename().native()).append(".tmp");
  const fs::path temporary = target.parent_path() / temporaryName;
  ::unlink(temporary.c_str());  // a leftover of an interrupted copy
  posix::UniqueFd out(
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!out) return posixError(what, errno);

  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || !writeAll(out.get(), buffer, static_cast<std::size_t>(n > 0 ? n : 0))) {
      int error = errno;
      ::unlink(temporary.c_str());
      return posixError(what, error);
    }
    if (n == 0) break;
  }
  const struct timespec times[2] = {posix::accessTime(sourceStat),
                                    posix::modificationTime(sourceStat)};
  if (::fchmod(out.get(), 0755) != 0 || ::futimens(out.get(), times) != 0 ||
      !posix::syncToDisk(out.get()) || ::close(out.release()) != 0 ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    int error = errno;
    ::unlink(temporary.c_str());
    return posixError(what, error);
  }
  return {};
}

// UTF-8 without the control characters that XML 1.0 forbids even as references.
bool xmlCanCarry(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return daily::isValidUtf8(text);
}

Status readWholeFile(const fs::path& file, std::string& text) {
  const std::string what = "Could not read " + quoted(file);
  posix::UniqueFd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return posixError(what, errno);
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return posixError(what, errno);
    if (n == 0) return {};
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

Status installDaemon(Bundle* bundle, const fs::path& appSupportDir, const fs::path& daemonDest) {
  const auto source = bundle ? bundle->auxiliaryExecutable("QuillmossTracker") : std::nullopt;
  if (!source) return Error{kUsageTrackerErrorDomain, 1, "QuillmossTracker not found in bundle"};
  if (appSupportDir.empty()) {
    return Error{kPosixErrorDomain, ENOENT, "The user's data folder could not be found"};
  }

  // The application's folder also holds the data folder: the user's alone.
  if (!daily::createPrivateFolders(appSupportDir)) {
    return posixError("Could not create the folder " + quoted(appSupportDir), errno);
  }

  // The install path is looked at, never through: a link there is replaced by the bundle's
  // daemon whatever it points at, and a folder there is the user's and is left alone.
  struct stat installed {};
  if (::lstat(daemonDest.c_str(), &installed) == 0) {
    if (S_ISDIR(installed.st_mode)) {
      return Error{kPosixErrorDomain, EISDIR,
                   "Could not install the tracker: " + quoted(daemonDest) + " is a folder"};
    }
    struct stat bundled {};
    if (::stat(source->c_str(), &bundled) != 0) {
      return posixError("Could not read the attributes of " + quoted(*source), errno);
    }
    if (S_ISREG(installed.st_mode) &&
        !later(posix::modificationTime(bundled), posix::modificationTime(installed))) {
      return {};
    }
  }
  // Renamed over whatever is there, so a link is replaced and never written through.
  return copyKeepingTimes(*source, daemonDest);
}

std::string fillAgentTemplate(std::string_view templateText, std::string_view daemonPath) {
  std::string escaped;
  escaped.reserve(daemonPath.size());
  for (char c : daemonPath) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  const std::string_view placeholder(kPlaceholder);
  std::string text;
  text.reserve(templateText.size() + escaped.size());
  std::size_t from = 0;
  for (;;) {
    std::size_t at = templateText.find(placeholder, from);
    if (at == std::string_view::npos) break;
    text.append(templateText.substr(from, at - from));
    text += escaped;
    from = at + placeholder.size();
  }
  text.append(templateText.substr(from));
  return text;
}

Status installLaunchAgent(Bundle* bundle, const fs::path& agentDir, const fs::path& agentFile,
                          const fs::path& daemonDest) {
  if (agentDir.empty()) {
    return Error{kPosixErrorDomain, ENOENT, "The user's home folder could not be found"};
  }
  std::error_code ec;
  fs::create_directories(agentDir, ec);
  if (ec) return fileSystemError(ec, "Could not create the folder " + quoted(agentDir));

  const auto templateFile =
      bundle ? bundle->resource("com.velbrook.quillmoss.tracker", "plist") : std::nullopt;
  if (!templateFile) return Error{kUsageTrackerErrorDomain, 2, "LaunchAgent plist not in bundle"};

  std::string templateText;
  if (auto read = readWholeFile(*templateFile, templateText); !read) return read;
  if (!daily::isValidUtf8(templateText)) {
    return Error{kCocoaErrorDomain, kFileReadInapplicableEncoding,
                 "The file " + quoted(templateFile->filename()) +
                     " couldn't be opened using text encoding Unicode (UTF-8)."};
  }

  // A path that no property list can carry would make launchd reject the file while
  // "setup" reports success; refuse it here instead.
  if (!xmlCanCarry(daemonDest.string())) {
    return Error{kCocoaErrorDomain, kFileWriteInapplicableEncoding,
                 "The path " + quoted(daemonDest) + " cannot be written into a property list."};
  }
  const std::string text = fillAgentTemplate(templateText, daemonDest.string());
  if (!daily::writeFileAtomically(agentFile, text)) {
    return Error{kCocoaErrorDomain, kFileWriteUnknown,
                 "The file " + quoted(agentFile.filename()) + " couldn't be saved in the folder " +
                     quoted(agentFile.parent_path().filename()) + "."};
  }
  return {};
}

}  // namespace quillmoss::host
