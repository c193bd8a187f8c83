// Activation filtering; see activation_filter.h.
#include "platform/linux/activation_filter.h"

namespace quillmoss::tracker {

ActivationFilter::~ActivationFilter() {
  cancelPendingNone();
}

void ActivationFilter::start(std::optional<std::string> front, bool screenSaverOn) {
  cancelPendingNone();
  current_ = std::move(front);
  locked_ = screenSaverOn;
  reported_ = locked_ ? std::nullopt : current_;
}

void ActivationFilter::noActiveWindow() {
  current_.reset();
  if (locked_ || pendingNone_) return;
  pendingNone_ = loop_.scheduleOnce(kNoneDebounceSeconds, [this] {
    pendingNone_.reset();
    if (!locked_) deliver(current_);
  });
}

void ActivationFilter::windowActivated() {
  cancelPendingNone();
}

void ActivationFilter::frontChanged(std::optional<std::string> identity) {
  cancelPendingNone();
  current_ = std::move(identity);
  if (!locked_) deliver(current_);
}

void ActivationFilter::screenSaverChanged(bool on) {
  if (on == locked_) return;
  locked_ = on;
  cancelPendingNone();
  deliver(locked_ ? std::nullopt : current_);
}

void ActivationFilter::stop() {
  cancelPendingNone();
}

void ActivationFilter::cancelPendingNone() {
  if (!pendingNone_) return;
  loop_.cancel(*pendingNone_);
  pendingNone_.reset();
}

void ActivationFilter::deliver(const std::optional<std::string>& identity) {
  if (identity == reported_) return;
  reported_ = identity;
  if (handler_) {
    const std::optional<std::string> delivered = reported_;
    handler_(delivered);
  }
}

}  // namespace quillmoss::tracker
