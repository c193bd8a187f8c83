// The tracker's view of time: the wall clock, the local day, how long the machine has been
// awake and how long it slept.
#pragma once

#include <string>

namespace quillmoss::tracker {

class Clock {
 public:
  virtual ~Clock() = default;
  // Wall-clock seconds since 1970-01-01 00:00:00 UTC, with fraction.
  virtual double now() = 0;
  // The local calendar day of an instant, "yyyy-MM-dd".
  virtual std::string dayString(double instant) = 0;
  // Seconds the machine has spent suspended since some fixed origin (on Linux
  // CLOCK_BOOTTIME minus CLOCK_MONOTONIC); only differences are meaningful.
  virtual double suspendedSeconds() = 0;
  // Seconds the machine has been awake since some fixed origin (on Linux CLOCK_MONOTONIC): never
  // set back or forward with the wall clock, still while suspended; only differences matter.
  virtual double awakeSeconds() = 0;
};

}  // namespace quillmoss::tracker
