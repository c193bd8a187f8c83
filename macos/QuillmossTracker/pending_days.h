// Days in and out of memory: saving the day that ends (keeping what could not be written
// for a later retry) and entering a day.
#pragma once

#include <string>

#include "tracker_state.h"

namespace quillmoss::tracker {

// Writes the current day's three files; whatever fails is kept in pendingDays. The current
// day's data is left in an unspecified state, to be replaced by enterDay.
void saveEndingDay(TrackerState& state);

// Writes again every file of pendingDays still unsaved, oldest day first; a day leaves the
// list once all of its files are written.
void retryPendingDays(TrackerState& state);

// Makes day's data the current data: a pending copy when one is held (it is newer than the
// files), else the day's files.
void enterDay(TrackerState& state, const std::string& day);

}  // namespace quillmoss::tracker
