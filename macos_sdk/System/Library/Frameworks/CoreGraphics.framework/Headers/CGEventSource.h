// Stands for <CoreGraphics/CGEventSource.h>: the time since the user's last input.
#pragma once

#include <CoreGraphics/CGBase.h>
#include <CoreGraphics/CGEventTypes.h>

extern "C" CFTimeInterval CGEventSourceSecondsSinceLastEventType(CGEventSourceStateID stateID,
                                                                 CGEventType eventType);
