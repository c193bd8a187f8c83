// Where the host serves its messenger, and the checks that keep that place private.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

#include "core/error.h"
#include "posix/unique_fd.h"

namespace quillmoss::engine {

// Errors of the transport that are not the system's.
inline constexpr char kEngineErrorDomain[] = "QuillmossEngine";

// $XDG_RUNTIME_DIR/quillmoss/engine.sock, or /tmp/quillmoss-UID/engine.sock without it.
std::string defaultEngineSocketPath();

// The address of a Unix socket at `path`, whatever the path's length: one too long for
// sun_path (a deep runtime folder) is reached through its folder, opened for the address's
// life, as /proc/self/fd/N/NAME. Refused when the path is empty or has no usable folder.
class SocketAddress {
 public:
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  socklen_t size() const { return sizeof address_; }

 private:
  friend Expected<SocketAddress> socketAddress(const std::string& path);
  posix::UniqueFd folder_;  // Only for a path reached through its folder.
  sockaddr_un address_{};
};
Expected<SocketAddress> socketAddress(const std::string& path);

// Creates the folder (mode 0700) when missing. Refuses anything but a real directory owned
// by this user, and takes group and other access away from one that has it.
Status preparePrivateFolder(const std::string& folder);

}  // namespace quillmoss::engine
