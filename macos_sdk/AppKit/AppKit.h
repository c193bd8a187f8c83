// Stands for the AppKit framework, <AppKit/AppKit.h>. Only what the adapters and the shell use;
// each group names the AppKit header it comes from.
#pragma once

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
extern "C" const NSFontWeight NSFontWeightRegular;
extern "C" const NSFontWeight NSFontWeightMedium;
extern "C" const NSFontWeight NSFontWeightSemibold;
extern "C" const NSFontWeight NSFontWeightBold;

// <AppKit/NSFont.h>
@interface NSFont : NSObject
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight;
+ (NSFont*)monospacedDigitSystemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight;
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
@interface NSStatusBarButton : NSButton
@end

// <AppKit/NSStatusItem.h>
@interface NSStatusItem : NSObject
@property(readonly, strong, nullable) NSStatusBarButton* button;
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
@property(nullable, strong) NSViewController* contentViewController;
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
- (NSApplicationActivationPolicy)activationPolicy;
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
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

// <AppKit/NSImage.h>
@interface NSImage : NSObject
- (instancetype)initWithSize:(NSSize)size;
@property NSSize size;
- (void)lockFocus;
- (void)unlockFocus;
- (void)drawInRect:(NSRect)dstSpacePortionRect
          fromRect:(NSRect)srcSpacePortionRect
         operation:(NSCompositingOperation)op
          fraction:(CGFloat)requestedAlpha;
@property(nullable, readonly, strong) NSData* TIFFRepresentation;
@end

// <AppKit/NSImageRep.h>, <AppKit/NSBitmapImageRep.h>
@interface NSImageRep : NSObject
@end

typedef NS_ENUM(NSUInteger, NSBitmapImageFileType) {
  NSBitmapImageFileTypeTIFF = 0,
  NSBitmapImageFileTypePNG = 4,
};
typedef NSString* NSBitmapImageRepPropertyKey;

@interface NSBitmapImageRep : NSImageRep
- (nullable instancetype)initWithData:(NSData*)data;
- (nullable NSData*)representationUsingType:(NSBitmapImageFileType)storageType
                                 properties:
                                     (NSDictionary<NSBitmapImageRepPropertyKey, id>*)properties;
@end

// <AppKit/NSWorkspace.h>
extern "C" NSNotificationName const NSWorkspaceDidActivateApplicationNotification;
extern "C" NSString* const NSWorkspaceApplicationKey;

@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
@property(readonly, strong) NSNotificationCenter* notificationCenter;
@property(nullable, readonly, strong) NSRunningApplication* frontmostApplication;
@property(readonly, copy) NSArray<NSRunningApplication*>* runningApplications;
- (nullable NSURL*)URLForApplicationWithBundleIdentifier:(NSString*)bundleIdentifier;
- (NSImage*)iconForFile:(NSString*)fullPath;
@end

NS_ASSUME_NONNULL_END
