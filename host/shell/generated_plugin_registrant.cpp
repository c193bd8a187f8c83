// The ten plug-ins, each under its class name; two of them are reached by selector.
#include "shell/generated_plugin_registrant.h"

#include "shell/stand_in_plugins.h"

namespace quillmoss::host {

void RegisterGeneratedPlugins(engine::PluginRegistry* registry) {
  AppLinksMacosPlugin::registerWith(registry->registrarForPlugin(kAppLinksMacosPlugin));
  DeviceInfoPlusMacosPlugin::registerWith(registry->registrarForPlugin(kDeviceInfoPlusMacosPlugin));
  FileSelectorPlugin::registerWith(registry->registrarForPlugin(kFileSelectorPlugin));
  FlutterLocalNotificationsPlugin::registerWith(
      registry->registrarForPlugin(kFlutterLocalNotificationsPlugin));
  FlutterSecureStorageDarwinPlugin::registerWith(
      registry->registrarForPlugin(kFlutterSecureStorageDarwinPlugin));
  performClassSelector(GeolocatorPlugin::pluginClass(), kRegisterWithRegistrarSelector,
                       registry->registrarForPlugin(kGeolocatorPlugin));
  performClassSelector(FPPPackageInfoPlusPlugin::pluginClass(), kRegisterWithRegistrarSelector,
                       registry->registrarForPlugin(kFPPPackageInfoPlusPlugin));
  SentryFlutterPlugin::registerWith(registry->registrarForPlugin(kSentryFlutterPlugin));
  SharedPreferencesPlugin::registerWith(registry->registrarForPlugin(kSharedPreferencesPlugin));
  UrlLauncherPlugin::registerWith(registry->registrarForPlugin(kUrlLauncherPlugin));
}

}  // namespace quillmoss::host
