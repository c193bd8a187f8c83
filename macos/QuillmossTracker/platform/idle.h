// Seconds since the user's last input event of any kind.
#pragma once

namespace quillmoss::tracker {

class IdleSource {
 public:
  virtual ~IdleSource() = default;
  virtual double secondsSinceLastInput() = 0;
  // Called once termination has begun: from then on the answer is the last reading, aged, and
  // nothing is asked of anyone (a frozen display server must not hold up the final save).
  virtual void stopAsking() {}
};

}  // namespace quillmoss::tracker
