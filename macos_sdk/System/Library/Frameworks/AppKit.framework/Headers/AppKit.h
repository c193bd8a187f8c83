// Stands for the AppKit framework, <AppKit/AppKit.h>. Only what the adapters and the shell use,
// with the availability Apple gives it; each group names the AppKit header it comes from.
// Like the real one it brings Foundation and (through ApplicationServices) all of CoreGraphics.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

@class NSImage, NSRunningApplication, NSViewController, NSWindow;

// <AppKit/NSResponder.h>
@interface NSResponder : NSObject
@end

// <AppKit/NSNibLoading.h>: the informal protocol NSNibAwaking.
@interface NSObject (NSNibAwaking)
- (void)awakeFromNib;
@end

// <AppKit/NSFontDescriptor.h>
typedef CGFloat NSFontWeight;
extern "C" const NSFontWeight NSFontWeightRegular API_AVAILABLE(macos(10.11));
extern "C" const NSFontWeight NSFontWeightMedium API_AVAILABLE(macos(10.11));
extern "C" const NSFontWeight NSFontWeightSemibold API_AVAILABLE(macos(10.11));
extern "C" const NSFontWeight NSFontWeightBold API_AVAILABLE(macos(10.11));

// <AppKit/NSFont.h>
@interface NSFont : NSObject
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize
                     weight:(NSFontWeight)weight API_AVAILABLE(macos(10.11));
+ (NSFont*)monospacedDigitSystemFontOfSize:(CGFloat)fontSize
                                    weight:(NSFontWeight)weight API_AVAILABLE(macos(10.11));
@end

// <AppKit/NSView.h>, <AppKit/NSControl.h>, <AppKit/NSButton.h>
@interface NSView : NSResponder
@end

@interface NSControl : NSView
@property(weak, nullable) id target;
@property(nullable) SEL action;
@property(nullable, copy) NSFont* font;
@end

@interface NSButton : NSControl
@property(copy) NSString* title;
@end

// <AppKit/NSStatusBarButton.h>
API_AVAILABLE(macos(10.10))
@interface NSStatusBarButton : NSButton
@end

// <AppKit/NSStatusItem.h>
@interface NSStatusItem : NSObject
@property(readonly, strong, nullable) NSStatusBarButton* button API_AVAILABLE(macos(10.10));
@end

// <AppKit/NSStatusBar.h>
@interface NSStatusBar : NSObject
@property(class, readonly, strong) NSStatusBar* systemStatusBar;
- (NSStatusItem*)statusItemWithLength:(CGFloat)length;
- (void)removeStatusItem:(NSStatusItem*)item;
@end

// <AppKit/NSViewController.h>
@interface NSViewController : NSResponder
@end

// <AppKit/NSGraphics.h>
typedef NS_ENUM(NSUInteger, NSBackingStoreType) {
  NSBackingStoreBuffered = 2,
};

// <AppKit/NSWindow.h>
typedef NS_OPTIONS(NSUInteger, NSWindowStyleMask) {
  NSWindowStyleMaskBorderless = 0,
  NSWindowStyleMaskTitled = 1 << 0,
};

@interface NSWindow : NSResponder
- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag;
@property(readonly) NSRect frame;
- (void)setFrame:(NSRect)frameRect display:(BOOL)flag;
@property(nullable, strong) NSViewController* contentViewController API_AVAILABLE(macos(10.10));
@property(getter=isReleasedWhenClosed) BOOL releasedWhenClosed;
@property(readonly, getter=isVisible) BOOL visible;
- (void)makeKeyAndOrderFront:(nullable id)sender;
@end

// <AppKit/NSRunningApplication.h>
typedef NS_ENUM(NSInteger, NSApplicationActivationPolicy) {
  NSApplicationActivationPolicyRegular = 0,
  NSApplicationActivationPolicyAccessory = 1,
  NSApplicationActivationPolicyProhibited = 2,
};

API_AVAILABLE(macos(10.6))
@interface NSRunningApplication : NSObject
@property(nullable, readonly, copy) NSString* bundleIdentifier;
@property(nullable, readonly, copy) NSString* localizedName;
@property(nullable, readonly, strong) NSImage* icon;
@end

// <AppKit/NSApplication.h>
@class NSApplication;

@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender;
- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag;
- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app;
@end

@interface NSApplication : NSResponder
@property(class, readonly, strong) NSApplication* sharedApplication;
- (NSApplicationActivationPolicy)activationPolicy API_AVAILABLE(macos(10.6));
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy
    API_AVAILABLE(macos(10.6));
@property(readonly, copy) NSArray<NSWindow*>* windows;
- (void)activateIgnoringOtherApps:(BOOL)flag;
- (void)terminate:(nullable id)sender;
@end

extern "C" int NSApplicationMain(int argc, const char* _Nonnull argv[_Nonnull]);

// <AppKit/NSGraphics.h>
typedef NS_ENUM(NSUInteger, NSCompositingOperation) {
  NSCompositingOperationClear = 0,
  NSCompositingOperationCopy = 1,
};
typedef NSString* NSColorSpaceName;
extern "C" NSColorSpaceName NSDeviceRGBColorSpace;

// <AppKit/NSImage.h>
@interface NSImage : NSObject
@property NSSize size;
- (void)drawInRect:(NSRect)dstSpacePortionRect
          fromRect:(NSRect)srcSpacePortionRect
         operation:(NSCompositingOperation)op
          fraction:(CGFloat)requestedAlpha;
@end

// <AppKit/NSImageRep.h>, <AppKit/NSBitmapImageRep.h>
@interface NSImageRep : NSObject
@property NSSize size;
@end

typedef NS_ENUM(NSUInteger, NSBitmapImageFileType) {
  NSBitmapImageFileTypeTIFF = 0,
  NSBitmapImageFileTypePNG = 4,
};
typedef NSString* NSBitmapImageRepPropertyKey;

@interface NSBitmapImageRep : NSImageRep
- (nullable instancetype)initWithBitmapDataPlanes:(unsigned char* _Nullable* _Nullable)planes
                                       pixelsWide:(NSInteger)width
                                       pixelsHigh:(NSInteger)height
                                    bitsPerSample:(NSInteger)bps
                                  samplesPerPixel:(NSInteger)spp
                                         hasAlpha:(BOOL)alpha
                                         isPlanar:(BOOL)isPlanar
                                   colorSpaceName:(NSColorSpaceName)colorSpaceName
                                      bytesPerRow:(NSInteger)rBytes
                                     bitsPerPixel:(NSInteger)pBits;
- (nullable NSData*)representationUsingType:(NSBitmapImageFileType)storageType
                                 properties:
                                     (NSDictionary<NSBitmapImageRepPropertyKey, id>*)properties;
@end

// <AppKit/NSGraphicsContext.h>
typedef NS_ENUM(NSUInteger, NSImageInterpolation) {
  NSImageInterpolationDefault = 0,
  NSImageInterpolationNone = 1,
  NSImageInterpolationLow = 2,
  NSImageInterpolationMedium API_AVAILABLE(macos(10.6)) = 4,
  NSImageInterpolationHigh = 3,
};

@interface NSGraphicsContext : NSObject
+ (nullable NSGraphicsContext*)graphicsContextWithBitmapImageRep:(NSBitmapImageRep*)bitmapRep;
@property(class, nullable, strong) NSGraphicsContext* currentContext;
+ (void)saveGraphicsState;
+ (void)restoreGraphicsState;
- (void)flushGraphics;
@property NSImageInterpolation imageInterpolation;
@end

// <AppKit/NSWorkspace.h>
extern "C" NSNotificationName const NSWorkspaceDidActivateApplicationNotification
    API_AVAILABLE(macos(10.6));
extern "C" NSString* const NSWorkspaceApplicationKey API_AVAILABLE(macos(10.6));

@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
@property(readonly, strong) NSNotificationCenter* notificationCenter;
@property(nullable, readonly, strong)
    NSRunningApplication* frontmostApplication API_AVAILABLE(macos(10.7));
@property(readonly, copy)
    NSArray<NSRunningApplication*>* runningApplications API_AVAILABLE(macos(10.6));
- (nullable NSURL*)URLForApplicationWithBundleIdentifier:(NSString*)bundleIdentifier
    API_AVAILABLE(macos(10.6));
- (NSImage*)iconForFile:(NSString*)fullPath;
@end

NS_ASSUME_NONNULL_END
