// Stands for the CoreFoundation framework, <CoreFoundation/CoreFoundation.h>: the C library
// headers it brings, and the one type of <CoreFoundation/CFDate.h> the adapters meet.
#pragma once

#include <errno.h>
#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <dispatch/dispatch.h>

// <CoreFoundation/CFDate.h>
typedef double CFTimeInterval;
