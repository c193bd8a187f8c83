// The local time zone as it stands now: both programs run for days, and a user who travels or
// picks another zone expects the day to end at the new midnight, as a program started later
// would see it.
#pragma once

#include <ctime>

namespace quillmoss::daily {

// The local time of `seconds` in the zone as it stands now: the C library reads the zone again
// when where it comes from (TZ, the file TZ names, else /etc/localtime) changed since the last
// call. A getenv and a stat when nothing changed; safe from any thread. False when the instant
// has no local time.
bool localTimeNow(std::time_t seconds, std::tm& local);

}  // namespace quillmoss::daily
