// The ten plug-ins, found by name at run time so that this file needs none of their headers.
#include "shell/macos/generated_plugin_registrant.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct PluginRow {
  NSString* module;     // the package's framework, which qualifies a Swift class's name
  NSString* className;  // also the registrar key
};

// Swift classes are known to the runtime as "module.Class", Objective-C ones by their name.
Class _Nullable pluginClass(const PluginRow& row) {
  Class found = NSClassFromString([NSString stringWithFormat:@"%@.%@", row.module, row.className]);
  return found != nil ? found : NSClassFromString(row.className);
}

}  // namespace

void RegisterGeneratedPlugins(NSObject<FlutterPluginRegistry>* _Nonnull registry) {
  const PluginRow rows[] = {
      {@"app_links", @"AppLinksMacosPlugin"},
      {@"device_info_plus", @"DeviceInfoPlusMacosPlugin"},
      {@"file_selector_macos", @"FileSelectorPlugin"},
      {@"flutter_local_notifications", @"FlutterLocalNotificationsPlugin"},
      {@"flutter_secure_storage_darwin", @"FlutterSecureStorageDarwinPlugin"},
      {@"geolocator_apple", @"GeolocatorPlugin"},
      {@"package_info_plus", @"FPPPackageInfoPlusPlugin"},
      {@"sentry_flutter", @"SentryFlutterPlugin"},
      {@"shared_preferences_foundation", @"SharedPreferencesPlugin"},
      {@"url_launcher_macos", @"UrlLauncherPlugin"},
  };
  for (const PluginRow& row : rows) {
    Class plugin = pluginClass(row);
    if (plugin == nil || ![plugin conformsToProtocol:@protocol(FlutterPlugin)]) {
      std::fprintf(stderr, "quillmoss: the plug-in %s is not linked into the application\n",
                   row.className.UTF8String);
      std::exit(1);
    }
    // registerWithRegistrar: is the selector of FlutterPlugin's class method register(with:).
    [(Class<FlutterPlugin>)plugin
        registerWithRegistrar:[registry registrarForPlugin:row.className]];
  }
}
