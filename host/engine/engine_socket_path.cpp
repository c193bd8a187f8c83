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

Expected<sockaddr_un> socketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    return Error{kEngineErrorDomain, ENAMETOOLONG, "socket path is empty or too long: " + path};
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
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
