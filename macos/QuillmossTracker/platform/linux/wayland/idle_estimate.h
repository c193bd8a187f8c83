// Seconds since the last input from a compositor that says only "no input for T" and "input
// again" (ext-idle-notify-v1, org_kde_kwin_idle). Accuracy: while input keeps coming it reads 0
// though the truth lies anywhere in [0, T); once the notice came it is exact up to the
// compositor's timer slack and the notice's delivery (milliseconds). Before the first notice
// after the request it counts no more than the time since the request.
#pragma once

#include <algorithm>
#include <optional>

namespace quillmoss::tracker {

class IdleEstimate {
 public:
  // Short against the tracker's idle threshold (minutes), long enough that a pause in typing
  // does not wake us twice.
  static constexpr double kNoticeSeconds = 5.0;

  void idled(double now) { lastInput_ = now - kNoticeSeconds; }
  void resumed() { lastInput_.reset(); }
  double secondsSinceLastInput(double now) const {
    return lastInput_ ? std::max(0.0, now - *lastInput_) : 0.0;
  }

 private:
  std::optional<double> lastInput_;
};

}  // namespace quillmoss::tracker
