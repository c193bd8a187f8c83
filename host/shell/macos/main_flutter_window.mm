// MainFlutterWindow: the one main window. Its content is the engine's view controller, and it
// survives being closed so that the same engine can be shown again.
#import <AppKit/AppKit.h>
#import <FlutterMacOS/FlutterMacOS.h>

#include "shell/macos/generated_plugin_registrant.h"

@interface MainFlutterWindow : NSWindow
@end

@implementation MainFlutterWindow

- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag {
  return [super initWithContentRect:contentRect
                          styleMask:style
                            backing:backingStoreType
                              defer:flag];
}

- (void)awakeFromNib {
  FlutterViewController* flutterViewController = [[FlutterViewController alloc] init];
  const NSRect windowFrame = self.frame;
  [self setContentViewController:flutterViewController];
  // Installing the controller resizes the window; the interface file's frame wins.
  [self setFrame:windowFrame display:YES];
  RegisterGeneratedPlugins(flutterViewController);
  [self setReleasedWhenClosed:NO];
  [super awakeFromNib];
}

@end
