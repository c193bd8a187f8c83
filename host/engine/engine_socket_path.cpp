// Socket location and private-folder checks.
#include "engine/engine_socket_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "posix/unique_fd.h"

namespace quillmoss::engine {

namespace {
void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}
}  // namespace

std::string defaultEngineSocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    return std::string(runtime) + "/quillmoss/engine.sock";
  }
  return "/tmp/quillmoss-" + std::to_string(::getuid()) + "/engine.sock";
}

bool preparePrivateFolder(const std::string& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    setError(error, "cannot create " + folder + ": " + std::strerror(errno));
    return false;
  }
  // O_NOFOLLOW: a symlink planted at the name must not lead us elsewhere.
  posix::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir) {
    setError(error, folder + " is not a usable directory: " + std::strerror(errno));
    return false;
  }
  struct stat info {};
  if (::fstat(dir.get(), &info) != 0) {
    setError(error, "cannot inspect " + folder + ": " + std::strerror(errno));
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    setError(error, folder + " belongs to another user");
    return false;
  }
  if ((info.st_mode & 0077) != 0 && ::fchmod(dir.get(), 0700) != 0) {
    setError(error, "cannot make " + folder + " private: " + std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace quillmoss::engine
