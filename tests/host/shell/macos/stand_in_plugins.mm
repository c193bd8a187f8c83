// The UI engine's ten plug-ins, for starting the shell without them: each class answers
// registration under its own name and does nothing more.
#import <FlutterMacOS/FlutterMacOS.h>

@interface QMStandInPlugin : NSObject <FlutterPlugin>
@end

@implementation QMStandInPlugin
+ (void)registerWithRegistrar:(id<FlutterPluginRegistrar>)registrar {
  (void)registrar;
}
@end

@interface AppLinksMacosPlugin : QMStandInPlugin
@end
@implementation AppLinksMacosPlugin
@end
@interface DeviceInfoPlusMacosPlugin : QMStandInPlugin
@end
@implementation DeviceInfoPlusMacosPlugin
@end
@interface FileSelectorPlugin : QMStandInPlugin
@end
@implementation FileSelectorPlugin
@end
@interface FlutterLocalNotificationsPlugin : QMStandInPlugin
@end
@implementation FlutterLocalNotificationsPlugin
@end
@interface FlutterSecureStorageDarwinPlugin : QMStandInPlugin
@end
@implementation FlutterSecureStorageDarwinPlugin
@end
@interface GeolocatorPlugin : QMStandInPlugin
@end
@implementation GeolocatorPlugin
@end
@interface FPPPackageInfoPlusPlugin : QMStandInPlugin
@end
@implementation FPPPackageInfoPlusPlugin
@end
@interface SentryFlutterPlugin : QMStandInPlugin
@end
@implementation SentryFlutterPlugin
@end
@interface SharedPreferencesPlugin : QMStandInPlugin
@end
@implementation SharedPreferencesPlugin
@end
@interface UrlLauncherPlugin : QMStandInPlugin
@end
@implementation UrlLauncherPlugin
@end
