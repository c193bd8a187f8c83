// The Application Support folder through NSFileManager.
#include "daily_data/macos/application_support.h"

#import <Foundation/Foundation.h>

namespace quillmoss::daily {

std::optional<std::filesystem::path> applicationSupportFolder() {
  NSArray<NSURL*>* urls =
      [[NSFileManager defaultManager] URLsForDirectory:NSApplicationSupportDirectory
                                             inDomains:NSUserDomainMask];
  NSURL* first = urls.firstObject;
  if (first == nil || !first.isFileURL) return std::nullopt;
  const char* path = first.fileSystemRepresentation;
  if (path == nullptr || path[0] != '/') return std::nullopt;
  return std::filesystem::path(path);
}

std::optional<std::filesystem::path> applicationSupportDataDirectory() {
  auto folder = applicationSupportFolder();
  if (!folder) return std::nullopt;
  return *folder / "com.velbrook.quillmoss" / "usage";
}

}  // namespace quillmoss::daily
