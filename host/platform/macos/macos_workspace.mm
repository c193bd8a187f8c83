// Running and installed applications and file icons through NSWorkspace; icons drawn and
// encoded through NSImage and NSBitmapImageRep.
#import <AppKit/AppKit.h>

#include "platform/macos/macos_platform.h"
#include "platform/macos/ns_text.h"

namespace quillmoss::host {
namespace {

class MacosImage final : public Image {
 public:
  explicit MacosImage(NSImage* _Nonnull image) : image_(image) {}

  std::optional<std::vector<std::uint8_t>> pngDrawnAtSize(int width, int height) const override {
    if (width <= 0 || height <= 0) return std::nullopt;
    // A bitmap of exactly that many pixels: an image of that many points, drawn through
    // lockFocus, has twice as many on a Retina screen.
    NSBitmapImageRep* bitmap =
        [[NSBitmapImageRep alloc] initWithBitmapDataPlanes:nullptr
                                                pixelsWide:width
                                                pixelsHigh:height
                                             bitsPerSample:8
                                           samplesPerPixel:4
                                                  hasAlpha:YES
                                                  isPlanar:NO
                                            colorSpaceName:NSDeviceRGBColorSpace
                                               bytesPerRow:0
                                              bitsPerPixel:0];
    if (bitmap == nil) return std::nullopt;
    bitmap.size = NSMakeSize(width, height);
    NSGraphicsContext* context = [NSGraphicsContext graphicsContextWithBitmapImageRep:bitmap];
    if (context == nil) return std::nullopt;
    const NSSize source = image_.size;
    [NSGraphicsContext saveGraphicsState];
    NSGraphicsContext.currentContext = context;
    context.imageInterpolation = NSImageInterpolationHigh;
    [image_ drawInRect:NSMakeRect(0, 0, width, height)
              fromRect:NSMakeRect(0, 0, source.width, source.height)
             operation:NSCompositingOperationCopy
              fraction:1.0];
    [context flushGraphics];
    [NSGraphicsContext restoreGraphicsState];
    NSData* png = [bitmap representationUsingType:NSBitmapImageFileTypePNG properties:@{}];
    if (png == nil) return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(png.bytes);
    return std::vector<std::uint8_t>(bytes, bytes + png.length);
  }

 private:
  NSImage* image_;
};

std::shared_ptr<const Image> imageOf(NSImage* _Nullable image) {
  if (image == nil) return nullptr;
  return std::make_shared<MacosImage>(image);
}

class SharedWorkspace final : public Workspace {
 public:
  std::vector<RunningApplication> runningApplications() override {
    std::vector<RunningApplication> list;
    for (NSRunningApplication* application in [NSWorkspace sharedWorkspace].runningApplications) {
      list.push_back(RunningApplication{fromNSString(application.bundleIdentifier),
                                        fromNSString(application.localizedName),
                                        imageOf(application.icon)});
    }
    return list;
  }

  std::optional<InstalledApplication> urlForApplication(const std::string& bundleId) override {
    NSURL* url =
        [[NSWorkspace sharedWorkspace] URLForApplicationWithBundleIdentifier:toNSString(bundleId)];
    if (url == nil) return std::nullopt;
    auto location = fromNSString(url.path);
    auto name = fromNSString(url.lastPathComponent.stringByDeletingPathExtension);
    if (!location || !name) return std::nullopt;
    return InstalledApplication{*location, *name};
  }

  std::shared_ptr<const Image> iconForFile(const std::string& path) override {
    return imageOf([[NSWorkspace sharedWorkspace] iconForFile:toNSString(path)]);
  }
};

}  // namespace

std::unique_ptr<Workspace> makeSharedWorkspace() {
  return std::make_unique<SharedWorkspace>();
}

}  // namespace quillmoss::host
