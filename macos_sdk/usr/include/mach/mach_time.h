// Stands for <mach/mach_time.h> of the system library: the absolute clock (stops while the
// machine sleeps), the continuous clock (keeps counting) and their tick length.
#pragma once

#include <stdint.h>

extern "C" {

struct mach_timebase_info {
  uint32_t numer;
  uint32_t denom;
};
typedef struct mach_timebase_info* mach_timebase_info_t;
typedef struct mach_timebase_info mach_timebase_info_data_t;
typedef int kern_return_t;

kern_return_t mach_timebase_info(mach_timebase_info_t info);
uint64_t mach_absolute_time(void);
uint64_t mach_continuous_time(void);
}
