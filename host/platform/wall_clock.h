// The wall clock as seconds since 1970-01-01 00:00:00 UTC, with fraction.
#pragma once

#include <chrono>

namespace quillmoss::host {

class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual double now() const = 0;
};

class SystemWallClock : public WallClock {
 public:
  double now() const override {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace quillmoss::host
