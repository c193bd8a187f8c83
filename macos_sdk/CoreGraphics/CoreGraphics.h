// Stands for the CoreGraphics framework: the geometry types of <CoreGraphics/CGBase.h> and
// <CoreGraphics/CGGeometry.h>, and the input idle time of <CoreGraphics/CGEventSource.h>.
#pragma once

#include <stdint.h>

// <CoreGraphics/CGBase.h>
typedef double CGFloat;

// <CoreGraphics/CGGeometry.h>
struct CGPoint {
  CGFloat x;
  CGFloat y;
};
typedef struct CGPoint CGPoint;
struct CGSize {
  CGFloat width;
  CGFloat height;
};
typedef struct CGSize CGSize;
struct CGRect {
  CGPoint origin;
  CGSize size;
};
typedef struct CGRect CGRect;

// <CoreGraphics/CGEventTypes.h>
// CF_ENUM types: enums with a fixed underlying type.
typedef enum CGEventType : uint32_t CGEventType;
enum CGEventType : uint32_t {
  kCGEventNull = 0,
};
#define kCGAnyInputEventType ((CGEventType)(~0))
typedef enum CGEventSourceStateID : int32_t CGEventSourceStateID;
enum CGEventSourceStateID : int32_t {
  kCGEventSourceStatePrivate = -1,
  kCGEventSourceStateCombinedSessionState = 0,
  kCGEventSourceStateHIDSystemState = 1,
};

typedef double CFTimeInterval;

// <CoreGraphics/CGEventSource.h>
extern "C" CFTimeInterval CGEventSourceSecondsSinceLastEventType(CGEventSourceStateID stateID,
                                                                 CGEventType eventType);
