// Seconds since the user's last input event of any kind.
#pragma once

namespace quillmoss::tracker {

class IdleSource {
 public:
  virtual ~IdleSource() = default;
  virtual double secondsSinceLastInput() = 0;
};

}  // namespace quillmoss::tracker
