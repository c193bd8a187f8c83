// Seconds on the steady clock, for deadlines and the age of a reading (never the wall time).
#pragma once

#include <chrono>

namespace quillmoss {

inline double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace quillmoss
