// Where the host serves its messenger, and the checks that keep that place private.
#pragma once

#include <string>

namespace quillmoss::engine {

// $XDG_RUNTIME_DIR/quillmoss/engine.sock, or /tmp/quillmoss-UID/engine.sock without it.
std::string defaultEngineSocketPath();

// Creates the folder (mode 0700) when missing. Refuses anything but a real directory owned
// by this user, and takes group and other access away from one that has it.
bool preparePrivateFolder(const std::string& folder, std::string* error);

}  // namespace quillmoss::engine
