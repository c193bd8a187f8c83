// Stands for <objc/NSObjCRuntime.h>: the integer types of the Objective-C runtime.
#pragma once

typedef long NSInteger;
typedef unsigned long NSUInteger;
