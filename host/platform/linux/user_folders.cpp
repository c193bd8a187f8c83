// The user's home folder by the POSIX rule both programs share.
#include "platform/user_folders.h"

#include "posix/home_folder.h"

namespace quillmoss::host {

std::optional<std::filesystem::path> userHomeFolder() {
  return posix::homeFolder();
}

}  // namespace quillmoss::host
