// Where the host serves its messenger, and the checks that keep that place private.
#pragma once

#include <sys/un.h>

#include <string>

#include "core/error.h"

namespace quillmoss::engine {

// Errors of the transport that are not the system's.
inline constexpr char kEngineErrorDomain[] = "QuillmossEngine";

// $XDG_RUNTIME_DIR/quillmoss/engine.sock, or /tmp/quillmoss-UID/engine.sock without it.
std::string defaultEngineSocketPath();

// The address of a Unix socket at `path`; refused when the path is empty or does not fit.
Expected<sockaddr_un> socketAddress(const std::string& path);

// Creates the folder (mode 0700) when missing. Refuses anything but a real directory owned
// by this user, and takes group and other access away from one that has it.
Status preparePrivateFolder(const std::string& folder);

}  // namespace quillmoss::engine
