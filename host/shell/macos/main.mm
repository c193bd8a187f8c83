// The host application's entry: AppKit loads the main interface file and runs the application.
#import <AppKit/AppKit.h>

int main(int argc, const char* _Nonnull argv[_Nonnull]) {
  return NSApplicationMain(argc, argv);
}
