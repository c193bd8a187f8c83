// Stands for the FlutterMacOS framework, <FlutterMacOS/FlutterMacOS.h>. Only what the engine
// binding and the shell use; each group names the framework header it comes from.
#pragma once

#include <stdint.h>

#include <AppKit/AppKit.h>

NS_ASSUME_NONNULL_BEGIN

// <FlutterMacOS/FlutterBinaryMessenger.h>
typedef void (^FlutterBinaryReply)(NSData* _Nullable reply);
typedef void (^FlutterBinaryMessageHandler)(NSData* _Nullable message, FlutterBinaryReply reply);
typedef int64_t FlutterBinaryMessengerConnection;

@protocol FlutterBinaryMessenger <NSObject>
- (FlutterBinaryMessengerConnection)setMessageHandlerOnChannel:(NSString*)channel
                                          binaryMessageHandler:
                                              (FlutterBinaryMessageHandler _Nullable)handler;
@end

// <FlutterMacOS/FlutterPluginRegistrarMacOS.h>
@protocol FlutterPluginRegistrar <NSObject>
@property(nonnull, readonly) id<FlutterBinaryMessenger> messenger;
@end

@protocol FlutterPluginRegistry <NSObject>
- (nonnull id<FlutterPluginRegistrar>)registrarForPlugin:(nonnull NSString*)pluginKey;
@end

// <FlutterMacOS/FlutterPluginMacOS.h>
@protocol FlutterPlugin <NSObject>
+ (void)registerWithRegistrar:(id<FlutterPluginRegistrar>)registrar;
@end

// <FlutterMacOS/FlutterViewController.h>
@interface FlutterViewController : NSViewController <FlutterPluginRegistry>
- (instancetype)init;
@end

// <FlutterMacOS/FlutterAppDelegate.h>
@interface FlutterAppDelegate : NSObject <NSApplicationDelegate>
@property(weak, nonatomic, nullable) NSWindow* mainFlutterWindow;
@end

NS_ASSUME_NONNULL_END
