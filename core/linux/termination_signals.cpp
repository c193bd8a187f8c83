#include "core/linux/termination_signals.h"

#include <pthread.h>

namespace quillmoss {

sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

void blockTerminationSignals() {
  const sigset_t set = terminationSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool terminationPending() {
  sigset_t pending;
  sigemptyset(&pending);
  return sigpending(&pending) == 0 &&
         (sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1);
}

DefaultTerminationSignals::DefaultTerminationSignals() {
  const sigset_t set = terminationSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

DefaultTerminationSignals::~DefaultTerminationSignals() {
  blockTerminationSignals();
}

}  // namespace quillmoss
