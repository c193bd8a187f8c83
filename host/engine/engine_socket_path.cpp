// Socket location and private-folder checks.
#include "engine/engine_socket_path.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "posix/unique_fd.h"

namespace quillmoss::engine {

Expected<SocketAddress> socketAddress(const std::string& path) {
  SocketAddress result;
  sockaddr_un& address = result.address_;
  address.sun_family = AF_UNIX;
  if (path.empty()) return Error{kEngineErrorDomain, EINVAL, "the socket path is empty"};
  std::string reached = path;
  if (reached.size() >= sizeof address.sun_path) {
    // The kernel resolves the descriptor's link to the folder itself, so the socket is made
    // (or found) at the long path, not in /proc.
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    if (slash == std::string::npos || slash + 1 == path.size()) {
      return Error{kEngineErrorDomain, ENAMETOOLONG, "socket path too long: " + path};
    }
    result.folder_.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!result.folder_) return posixError("cannot open the socket's folder " + folder, errno);
    reached = "/proc/self/fd/" + std::to_string(result.folder_.get()) + path.substr(slash);
    if (reached.size() >= sizeof address.sun_path) {
      return Error{kEngineErrorDomain, ENAMETOOLONG, "socket name too long: " + path};
    }
  }
  std::memcpy(address.sun_path, reached.c_str(), reached.size() + 1);
  return result;
}

std::string defaultEngineSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    return std::string(runtime) + "/quillmoss/engine.sock";
  }
  return "/tmp/quillmoss-" + std::to_string(::getuid()) + "/engine.sock";
}

Status preparePrivateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return posixError("cannot create " + folder, errno);
  }
  // O_NOFOLLOW: a symlink planted at the name must not lead us elsewhere.
  posix::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir) {
    return posixError(folder + " is not a usable directory", errno);
  }
  struct stat info {};
  if (::fstat(dir.get(), &info) != 0) {
    return posixError("cannot inspect " + folder, errno);
  }
  if (info.st_uid != ::geteuid()) {
    return Error{kEngineErrorDomain, EPERM, folder + " belongs to another user"};
  }
  if ((info.st_mode & 0077) != 0 && ::fchmod(dir.get(), 0700) != 0) {
    return posixError("cannot make " + folder + " private", errno);
  }
  return {};
}

}  // namespace quillmoss::engine
