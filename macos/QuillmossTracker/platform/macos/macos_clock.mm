// The clocks on macOS.
#import <Foundation/Foundation.h>
#include <mach/mach_time.h>

#include "platform/macos/macos_tracker_ports.h"

namespace quillmoss::tracker {
namespace {

class MacosClock final : public Clock {
 public:
  MacosClock() {
    formatter_ = [[NSDateFormatter alloc] init];
    // The user's calendar and locale could give a Buddhist year or other digits, and the host
    // would look for other file names: Gregorian days in ASCII digits, in the local time zone.
    formatter_.locale = [NSLocale localeWithLocaleIdentifier:@"en_US_POSIX"];
    formatter_.calendar = [NSCalendar calendarWithIdentifier:NSCalendarIdentifierGregorian];
    [formatter_ setDateFormat:@"yyyy-MM-dd"];
    mach_timebase_info(&timebase_);
  }

  double now() override { return [NSDate date].timeIntervalSince1970; }

  std::string dayString(double instant) override {
    // Foundation keeps the zone it first read; a user who travels or picks another zone
    // expects the day to end at the new midnight.
    [NSTimeZone resetSystemTimeZone];
    NSTimeZone* zone = NSTimeZone.systemTimeZone;
    if (![zone isEqualToTimeZone:formatter_.timeZone]) formatter_.timeZone = zone;
    NSString* day = [formatter_ stringFromDate:[NSDate dateWithTimeIntervalSince1970:instant]];
    const char* text = day.UTF8String;
    return text ? std::string(text) : std::string();
  }

  double suspendedSeconds() override {
    const std::uint64_t awake = mach_absolute_time();
    const std::uint64_t total = mach_continuous_time();
    const std::uint64_t asleep = total > awake ? total - awake : 0;
    return seconds(asleep);
  }

  // mach_absolute_time stands still while the machine sleeps and is never set.
  double awakeSeconds() override { return seconds(mach_absolute_time()); }

 private:
  double seconds(std::uint64_t ticks) const {
    return static_cast<double>(ticks) * timebase_.numer / timebase_.denom / 1e9;
  }

  NSDateFormatter* formatter_;
  mach_timebase_info_data_t timebase_{};
};

}  // namespace

std::unique_ptr<Clock> makeMacosClock() {
  return std::make_unique<MacosClock>();
}

}  // namespace quillmoss::tracker
