// The few lines quillmoss-report prints about the day it drew.
#pragma once

#include <string>

#include "day_model.h"

namespace quillmoss::report {

// The day's total and one line per application (domains indented), ending with the page's path.
std::string renderSummary(const DayReport& report, const std::string& pagePath);

}  // namespace quillmoss::report
