// Stands for <CoreGraphics/CGBase.h>.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

typedef double CGFloat;
