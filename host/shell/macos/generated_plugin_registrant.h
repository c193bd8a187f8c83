// Registration of the UI engine's ten plug-ins with the engine's plug-in registry.
#pragma once

#import <FlutterMacOS/FlutterMacOS.h>

// In the fixed order, each under its class name. A plug-in the application was not linked
// with is a broken build: the process says so on stderr and ends.
void RegisterGeneratedPlugins(NSObject<FlutterPluginRegistry>* _Nonnull registry);
