// Stand-ins for the UI engine's ten plug-ins: each registers itself under its key and does
// nothing more. Some register through a class method, some through a selector.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/method_channel.h"
#include "engine/plugin_registrar.h"

namespace quillmoss::host {

using RegistrationMethod = void (*)(engine::PluginRegistrar* registrar);

// What a plug-in class answers to by selector name, as the Objective-C runtime would.
struct PluginClass {
  std::string name;
  std::map<std::string, RegistrationMethod> classMethods;
};

inline constexpr char kRegisterWithRegistrarSelector[] = "registerWithRegistrar:";

// Sends the selector to the class; false when the class does not answer to it.
bool performClassSelector(const PluginClass& pluginClass, const std::string& selector,
                          engine::PluginRegistrar* registrar);

template <const char* kKey>
class StandInPlugin : public engine::Plugin {
 public:
  static constexpr const char* key() { return kKey; }

  // The plug-in's class method register(with:): its own channel and itself, nothing more.
  static void registerWith(engine::PluginRegistrar* registrar) {
    if (!registrar) return;
    registrar->addMethodCallDelegate(
        std::make_unique<StandInPlugin>(),
        std::make_unique<engine::MethodChannel>(registrar->messenger(), kKey));
  }

  static const PluginClass& pluginClass() {
    static const PluginClass kClass{kKey, {{kRegisterWithRegistrarSelector, &registerWith}}};
    return kClass;
  }

  void handleMethodCall(const engine::MethodCall&,
                        std::unique_ptr<engine::MethodResult> result) override {
    result->notImplemented();
  }
};

inline constexpr char kAppLinksMacosPlugin[] = "AppLinksMacosPlugin";
inline constexpr char kDeviceInfoPlusMacosPlugin[] = "DeviceInfoPlusMacosPlugin";
inline constexpr char kFileSelectorPlugin[] = "FileSelectorPlugin";
inline constexpr char kFlutterLocalNotificationsPlugin[] = "FlutterLocalNotificationsPlugin";
inline constexpr char kFlutterSecureStorageDarwinPlugin[] = "FlutterSecureStorageDarwinPlugin";
inline constexpr char kGeolocatorPlugin[] = "GeolocatorPlugin";
inline constexpr char kFPPPackageInfoPlusPlugin[] = "FPPPackageInfoPlusPlugin";
inline constexpr char kSentryFlutterPlugin[] = "SentryFlutterPlugin";
inline constexpr char kSharedPreferencesPlugin[] = "SharedPreferencesPlugin";
inline constexpr char kUrlLauncherPlugin[] = "UrlLauncherPlugin";

using AppLinksMacosPlugin = StandInPlugin<kAppLinksMacosPlugin>;
using DeviceInfoPlusMacosPlugin = StandInPlugin<kDeviceInfoPlusMacosPlugin>;
using FileSelectorPlugin = StandInPlugin<kFileSelectorPlugin>;
using FlutterLocalNotificationsPlugin = StandInPlugin<kFlutterLocalNotificationsPlugin>;
using FlutterSecureStorageDarwinPlugin = StandInPlugin<kFlutterSecureStorageDarwinPlugin>;
using GeolocatorPlugin = StandInPlugin<kGeolocatorPlugin>;
using FPPPackageInfoPlusPlugin = StandInPlugin<kFPPPackageInfoPlusPlugin>;
using SentryFlutterPlugin = StandInPlugin<kSentryFlutterPlugin>;
using SharedPreferencesPlugin = StandInPlugin<kSharedPreferencesPlugin>;
using UrlLauncherPlugin = StandInPlugin<kUrlLauncherPlugin>;

}  // namespace quillmoss::host
