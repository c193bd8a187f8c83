// The main bundle's helper executables and resources through NSBundle.
#import <Foundation/Foundation.h>

#include "platform/macos/macos_platform.h"
#include "platform/macos/ns_text.h"

namespace quillmoss::host {
namespace {

std::optional<std::filesystem::path> pathOf(NSString* _Nullable path) {
  auto text = fromNSString(path);
  if (!text) return std::nullopt;
  return std::filesystem::path(*text);
}

class MainBundle final : public Bundle {
 public:
  std::optional<std::filesystem::path> auxiliaryExecutable(const std::string& name) override {
    return pathOf([[NSBundle mainBundle] pathForAuxiliaryExecutable:toNSString(name)]);
  }

  std::optional<std::filesystem::path> resource(const std::string& name,
                                                const std::string& extension) override {
    NSURL* url = [[NSBundle mainBundle] URLForResource:toNSString(name)
                                         withExtension:toNSString(extension)];
    return pathOf(url.path);
  }
};

}  // namespace

std::unique_ptr<Bundle> makeMainBundle() {
  return std::make_unique<MainBundle>();
}

}  // namespace quillmoss::host
