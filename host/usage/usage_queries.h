// The three day queries: read one day file through the shared day-file library and turn
// its content into channel values.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "daily_data/json_value.h"
#include "engine/encodable_value.h"

namespace quillmoss::host {

enum class DayQuery { Usage, Activity, Segments };

// The reply for one query: the file's content when it is usable, else the empty map
// (usage) or the empty list. A date not of the form dddd-dd-dd is refused up front, so no
// path outside dataDir is ever formed. No date means the local day that holds `now`.
engine::EncodableValue queryDay(DayQuery query, const std::filesystem::path& dataDir,
                                const std::optional<std::string>& date, double now);

// A JSON value as a channel value: integers as integers (32-bit when they fit), other
// numbers as doubles, arrays as lists, objects as string-keyed maps (the last duplicate wins).
engine::EncodableValue toEncodable(const daily::JsonValue& value);

}  // namespace quillmoss::host
