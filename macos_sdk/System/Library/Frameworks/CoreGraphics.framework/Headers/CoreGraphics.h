// Stands for the CoreGraphics framework, <CoreGraphics/CoreGraphics.h>. Only what the adapters
// use, in the headers Apple splits it into; Foundation brings only CGBase.h and CGGeometry.h.
#pragma once

#include <CoreGraphics/CGBase.h>
#include <CoreGraphics/CGEventSource.h>
#include <CoreGraphics/CGEventTypes.h>
#include <CoreGraphics/CGGeometry.h>
