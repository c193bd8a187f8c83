// Stands for the Foundation framework, <Foundation/Foundation.h>. Only what the adapters use,
// with the availability Apple gives it; each group names the Foundation header it comes from.
// Like the real one it brings the Objective-C runtime, CoreFoundation (with the C library
// headers and libdispatch) and CoreGraphics's base and geometry headers, nothing more.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CGBase.h>
#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObjCRuntime.h>
#include <objc/NSObject.h>
#include <objc/objc.h>
#include <os/availability.h>

// <Foundation/NSObjCRuntime.h>
#define NS_ASSUME_NONNULL_BEGIN _Pragma("clang assume_nonnull begin")
#define NS_ASSUME_NONNULL_END _Pragma("clang assume_nonnull end")
#define NS_ENUM(type, name) \
  enum name : type name;    \
  enum name : type
#define NS_OPTIONS(type, name) \
  enum name : type name;       \
  enum name : type
#define NS_SWIFT_NAME(name)
#define NS_DESIGNATED_INITIALIZER __attribute__((objc_designated_initializer))

NS_ASSUME_NONNULL_BEGIN

@class NSArray<ObjectType>, NSData, NSDate, NSDictionary<KeyType, ObjectType>, NSError,
    NSNotification, NSOperationQueue, NSString, NSTimer, NSTimeZone, NSURL;

// <Foundation/NSObjCRuntime.h>
typedef double NSTimeInterval;
extern "C" NSString* NSStringFromClass(Class aClass);
extern "C" Class _Nullable NSClassFromString(NSString* aClassName);

// <Foundation/NSGeometry.h>
typedef CGPoint NSPoint;
typedef CGSize NSSize;
typedef CGRect NSRect;
static inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
  return NSRect{{x, y}, {w, h}};
}
static inline NSSize NSMakeSize(CGFloat w, CGFloat h) {
  return NSSize{w, h};
}

// <Foundation/NSEnumerator.h>
typedef struct {
  unsigned long state;
  id __unsafe_unretained _Nullable* _Nullable itemsPtr;
  unsigned long* _Nullable mutationsPtr;
  unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState*)state
                                  objects:(id __unsafe_unretained _Nullable[_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

// <Foundation/NSString.h>
typedef NSUInteger NSStringEncoding;
enum : NSStringEncoding {
  NSUTF8StringEncoding = 4,
};

@interface NSString : NSObject
- (nullable instancetype)initWithBytes:(const void*)bytes
                                length:(NSUInteger)len
                              encoding:(NSStringEncoding)encoding;
+ (instancetype)stringWithFormat:(NSString*)format, ... __attribute__((format(__NSString__, 1, 2)));
@property(nullable, readonly) const char* UTF8String __attribute__((objc_returns_inner_pointer));
@property(readonly) NSUInteger length;
@end

// <Foundation/NSPathUtilities.h>
@interface NSString (NSStringPathExtensions)
@property(readonly, copy) NSString* lastPathComponent;
@property(readonly, copy) NSString* stringByDeletingPathExtension;
@end

// <Foundation/NSValue.h>
@interface NSNumber : NSObject
@property(readonly) const char* objCType __attribute__((objc_returns_inner_pointer));
@property(readonly) long longValue;
@end

// <Foundation/NSArray.h>
@interface NSArray<__covariant ObjectType> : NSObject <NSFastEnumeration>
+ (instancetype)arrayWithObjects:(const ObjectType _Nonnull[_Nonnull])objects count:(NSUInteger)cnt;
@property(readonly) NSUInteger count;
@property(nullable, nonatomic, readonly) ObjectType firstObject;
- (ObjectType)objectAtIndexedSubscript:(NSUInteger)idx;
@end

@interface NSMutableArray<ObjectType> : NSArray <ObjectType>
+ (instancetype)array;
- (void)addObject:(ObjectType)anObject;
@end

// <Foundation/NSDictionary.h>
@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject <NSFastEnumeration>
+ (instancetype)dictionaryWithObjects:(const ObjectType _Nonnull[_Nullable])objects
                              forKeys:(const KeyType _Nonnull[_Nullable])keys
                                count:(NSUInteger)cnt;
- (nullable ObjectType)objectForKeyedSubscript:(KeyType)key;
@end

// <Foundation/NSData.h>
@interface NSData : NSObject
+ (instancetype)dataWithBytes:(nullable const void*)bytes length:(NSUInteger)length;
@property(readonly) NSUInteger length;
@property(readonly) const void* bytes __attribute__((objc_returns_inner_pointer));
@end

// <Foundation/NSError.h>
@interface NSError : NSObject
@end

// <Foundation/NSDate.h>
@interface NSDate : NSObject
+ (instancetype)date;
+ (instancetype)dateWithTimeIntervalSinceNow:(NSTimeInterval)secs;
+ (instancetype)dateWithTimeIntervalSince1970:(NSTimeInterval)secs;
@property(class, readonly, copy) NSDate* distantFuture;
@property(readonly) NSTimeInterval timeIntervalSince1970;
@end

// <Foundation/NSLocale.h>
@interface NSLocale : NSObject
+ (instancetype)localeWithLocaleIdentifier:(NSString*)ident API_AVAILABLE(macos(10.6));
@end

// <Foundation/NSCalendar.h>
typedef NSString* NSCalendarIdentifier;
extern "C" NSCalendarIdentifier const NSCalendarIdentifierGregorian API_AVAILABLE(macos(10.6));

@interface NSCalendar : NSObject
+ (nullable NSCalendar*)calendarWithIdentifier:(NSCalendarIdentifier)calendarIdentifierConstant
    API_AVAILABLE(macos(10.9));
@end

// <Foundation/NSTimeZone.h>
@interface NSTimeZone : NSObject
@property(class, readonly, copy) NSTimeZone* systemTimeZone;
+ (void)resetSystemTimeZone;
- (BOOL)isEqualToTimeZone:(NSTimeZone*)aTimeZone;
@end

// <Foundation/NSFormatter.h>, <Foundation/NSDateFormatter.h>
@interface NSFormatter : NSObject
@end

@interface NSDateFormatter : NSFormatter
- (NSString*)stringFromDate:(NSDate*)date;
@property(null_resettable, copy) NSString* dateFormat;
@property(null_resettable, copy) NSLocale* locale;
@property(null_resettable, copy) NSCalendar* calendar;
@property(null_resettable, copy) NSTimeZone* timeZone;
@end

// <Foundation/NSURL.h>
@interface NSURL : NSObject
+ (NSURL*)fileURLWithPath:(NSString*)path;
@property(nullable, readonly, copy) NSString* path;
@property(nullable, readonly, copy) NSString* lastPathComponent;
@property(readonly, getter=isFileURL) BOOL fileURL;
@property(readonly) const char* fileSystemRepresentation __attribute__((objc_returns_inner_pointer))
API_AVAILABLE(macos(10.9));
@end

// <Foundation/NSPathUtilities.h>
typedef NS_ENUM(NSUInteger, NSSearchPathDirectory) {
  NSApplicationSupportDirectory = 14,
};
typedef NS_OPTIONS(NSUInteger, NSSearchPathDomainMask) {
  NSUserDomainMask = 1,
};

// <Foundation/NSFileManager.h>
@interface NSFileManager : NSObject
@property(class, readonly, strong) NSFileManager* defaultManager;
- (NSArray<NSURL*>*)URLsForDirectory:(NSSearchPathDirectory)directory
                           inDomains:(NSSearchPathDomainMask)domainMask API_AVAILABLE(macos(10.6));
@property(readonly, copy) NSURL* homeDirectoryForCurrentUser API_AVAILABLE(macos(10.12));
@end

// <Foundation/NSNotification.h>
typedef NSString* NSNotificationName;

@interface NSNotification : NSObject
@property(nullable, readonly, copy) NSDictionary* userInfo;
@end

@interface NSNotificationCenter : NSObject
- (id<NSObject>)addObserverForName:(nullable NSNotificationName)name
                            object:(nullable id)obj
                             queue:(nullable NSOperationQueue*)queue
                        usingBlock:(void (^)(NSNotification* notification))block
    API_AVAILABLE(macos(10.6));
- (void)removeObserver:(id)observer;
@end

// <Foundation/NSOperation.h>
@interface NSOperationQueue : NSObject
@property(class, readonly, strong) NSOperationQueue* mainQueue API_AVAILABLE(macos(10.6));
@end

// <Foundation/NSThread.h>
@interface NSThread : NSObject
@property(class, readonly) BOOL isMainThread API_AVAILABLE(macos(10.5));
@end

// <Foundation/NSPort.h>
@interface NSPort : NSObject
+ (NSPort*)port;
@end

@interface NSMachPort : NSPort
@end

// <Foundation/NSRunLoop.h>
typedef NSString* NSRunLoopMode;
extern "C" NSRunLoopMode const NSDefaultRunLoopMode;

@interface NSRunLoop : NSObject
@property(class, readonly, strong) NSRunLoop* mainRunLoop API_AVAILABLE(macos(10.5));
- (void)addTimer:(NSTimer*)timer forMode:(NSRunLoopMode)mode;
- (void)addPort:(NSPort*)aPort forMode:(NSRunLoopMode)mode;
- (BOOL)runMode:(NSRunLoopMode)mode beforeDate:(NSDate*)limitDate;
@end

// <Foundation/NSTimer.h>
@interface NSTimer : NSObject
+ (NSTimer*)scheduledTimerWithTimeInterval:(NSTimeInterval)interval
                                   repeats:(BOOL)repeats
                                     block:(void (^)(NSTimer* timer))block
    API_AVAILABLE(macos(10.12));
- (instancetype)initWithFireDate:(NSDate*)date
                        interval:(NSTimeInterval)interval
                         repeats:(BOOL)repeats
                           block:(void (^)(NSTimer* timer))block API_AVAILABLE(macos(10.12));
@property(copy) NSDate* fireDate;
- (void)invalidate;
@end

// <Foundation/NSAppleEventDescriptor.h>
@interface NSAppleEventDescriptor : NSObject
@property(nullable, readonly, copy) NSString* stringValue;
@end

// <Foundation/NSAppleScript.h>
extern "C" NSString* const NSAppleScriptErrorNumber;

@interface NSAppleScript : NSObject
- (nullable instancetype)initWithSource:(NSString*)source NS_DESIGNATED_INITIALIZER;
- (nullable NSAppleEventDescriptor*)executeAndReturnError:
    (NSDictionary<NSString*, id>* _Nullable* _Nullable)errorInfo;
@end

// <Foundation/NSFileHandle.h>
@interface NSFileHandle : NSObject
- (nullable NSData*)readDataUpToLength:(NSUInteger)length
                                 error:(out NSError** _Nullable)error API_AVAILABLE(macos(10.15));
@end

@interface NSPipe : NSObject
+ (NSPipe*)pipe;
@property(readonly, retain) NSFileHandle* fileHandleForReading;
@end

// <Foundation/NSTask.h>
@interface NSTask : NSObject
- (instancetype)init NS_DESIGNATED_INITIALIZER;
@property(nullable, copy) NSURL* executableURL API_AVAILABLE(macos(10.13));
@property(nullable, copy) NSArray<NSString*>* arguments;
@property(nullable, retain) id standardOutput;
@property(nullable, retain) id standardError;
- (BOOL)launchAndReturnError:(out NSError** _Nullable)error API_AVAILABLE(macos(10.13));
- (void)terminate;
- (void)waitUntilExit;
@property(readonly, getter=isRunning) BOOL running;
@end

// <Foundation/NSBundle.h>
@interface NSBundle : NSObject
@property(class, readonly, strong) NSBundle* mainBundle;
- (nullable NSString*)pathForAuxiliaryExecutable:(NSString*)executableName;
- (nullable NSURL*)URLForResource:(nullable NSString*)name
                    withExtension:(nullable NSString*)ext API_AVAILABLE(macos(10.6));
@end

NS_ASSUME_NONNULL_END
