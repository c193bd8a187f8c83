// The user's home folder through NSFileManager.
#import <Foundation/Foundation.h>

#include "platform/user_folders.h"

namespace quillmoss::host {

std::optional<std::filesystem::path> userHomeFolder() {
  const char* home =
      [NSFileManager defaultManager].homeDirectoryForCurrentUser.fileSystemRepresentation;
  if (home == nullptr || home[0] != '/') return std::nullopt;
  return std::filesystem::path(home);
}

}  // namespace quillmoss::host
