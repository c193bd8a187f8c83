// The user's data folder on macOS: the first Application Support folder of the user's domain,
// through NSFileManager.
#import <Foundation/Foundation.h>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {

std::optional<std::filesystem::path> userDataFolder() {
  NSArray<NSURL*>* urls =
      [[NSFileManager defaultManager] URLsForDirectory:NSApplicationSupportDirectory
                                             inDomains:NSUserDomainMask];
  NSURL* first = urls.firstObject;
  if (first == nil || !first.isFileURL) return std::nullopt;
  const char* path = first.fileSystemRepresentation;
  if (path == nullptr || path[0] != '/') return std::nullopt;
  return std::filesystem::path(path);
}

}  // namespace quillmoss::daily
