// Stands for the Objective-C runtime headers <objc/objc.h>, <objc/NSObject.h> and
// <objc/NSObjCRuntime.h>: the basic types and the root class.
#pragma once

#include <stddef.h>
#include <stdint.h>

// <objc/objc.h>: BOOL is a C bool on arm64 and a signed char on x86_64.
#if defined(__arm64__) || defined(__aarch64__)
typedef bool BOOL;
#define YES true
#define NO false
#else
typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)
#endif
#ifndef nil
#define nil nullptr
#endif
#ifndef Nil
#define Nil nullptr
#endif

// <objc/NSObjCRuntime.h>
typedef long NSInteger;
typedef unsigned long NSUInteger;
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

@class NSString, Protocol;
@protocol NSObject;

// <objc/NSObject.h>
@protocol NSObject
- (BOOL)isEqual:(nullable id)object;
- (Class)class;
- (BOOL)isKindOfClass:(Class)aClass;
- (BOOL)isMemberOfClass:(Class)aClass;
- (BOOL)conformsToProtocol:(Protocol*)aProtocol;
- (BOOL)respondsToSelector:(SEL)aSelector;
@end

__attribute__((objc_root_class))
@interface NSObject<NSObject> {
  Class isa;
}
+ (instancetype)alloc;
+ (instancetype)new;
- (instancetype)init;
+ (Class)class;
+ (BOOL)conformsToProtocol:(Protocol*)protocol;
@end

NS_ASSUME_NONNULL_END
