// The report as one self-contained HTML page: no scripts, no network, light and dark schemes.
#pragma once

#include <cstddef>
#include <string>

#include "day_model.h"

namespace quillmoss::report {

// Bounds the page whatever the host answered: every key and name is cut to kMaxShownTextBytes,
// rows and timeline pieces are bounded by the day model and icons by their size.
inline constexpr std::size_t kMaxPageBytes = 16u << 20;

// Bar widths and timeline positions are inline percentages; figures are also given exactly
// in data-* attributes (seconds, instants) for readers other than people.
std::string renderPage(const DayReport& report);

}  // namespace quillmoss::report
