// The report as one self-contained HTML page: no scripts, no network, light and dark schemes.
#pragma once

#include <string>

#include "day_model.h"

namespace quillmoss::report {

// Bar widths and timeline positions are inline percentages; figures are also given exactly
// in data-* attributes (seconds, instants) for readers other than people.
std::string renderPage(const DayReport& report);

}  // namespace quillmoss::report
