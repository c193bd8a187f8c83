// SIGTERM and SIGINT as both programs handle them: blocked on every thread so that only the
// event loop's signalfd sees them, except while start-up lets them end the process at once.
#pragma once

#include <signal.h>

namespace quillmoss {

sigset_t terminationSignals();

// Blocks both signals on the calling thread; threads started later inherit the mask.
void blockTerminationSignals();

// True when either signal waits, blocked, for the loop to take it.
bool terminationPending();

// While alive, both signals have their default effect on the calling thread (they end the
// process, nothing is saved); blocked again afterwards.
class DefaultTerminationSignals {
 public:
  DefaultTerminationSignals();
  DefaultTerminationSignals(const DefaultTerminationSignals&) = delete;
  DefaultTerminationSignals& operator=(const DefaultTerminationSignals&) = delete;
  ~DefaultTerminationSignals();
};

}  // namespace quillmoss
