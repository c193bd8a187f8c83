// The menu bar ticker's title: stopwatch, elapsed time, people count.
#pragma once

#include <cstdint>
#include <string>

namespace quillmoss::host {

// Whole seconds from startedAt to now, truncated toward zero; 0 when that is not positive,
// not finite, or does not fit a signed 64-bit integer.
std::int64_t elapsedWholeSeconds(double now, double startedAt);

// "⏱ " + "%02d:%02d" (below an hour) or "%d:%02d:%02d" + "  👥 " + max(peopleStudying, 1).
std::string menuBarTitle(double now, double startedAt, std::int64_t peopleStudying);

}  // namespace quillmoss::host
