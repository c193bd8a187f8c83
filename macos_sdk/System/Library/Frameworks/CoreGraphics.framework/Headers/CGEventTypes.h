// Stands for <CoreGraphics/CGEventTypes.h>: event types and event source states (CF_ENUM
// types: enums with a fixed underlying type).
#pragma once

#include <CoreGraphics/CGBase.h>

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
