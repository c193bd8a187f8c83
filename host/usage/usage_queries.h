// The three day queries: read one day file through the shared day-file library and write its
// content as the reply's bytes, straight from the parsed file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillmoss::daily {
class ParserPool;
}

namespace quillmoss::host {

enum class DayQuery { Usage, Activity, Segments };

// The reply for one query as a success envelope of the standard method codec: the file's
// content when it is usable, else the empty map (usage) or the empty list. Usage and activity
// numbers are doubles; segment entries are passed on as the file holds them (integers as
// integers, objects as string-keyed maps in which the last of repeated names wins). A date not
// of the form dddd-dd-dd is refused up front, so no path outside dataDir is ever formed. No
// date means the local day that holds `now`. Parsers come from the pool when one is given.
std::vector<std::uint8_t> dayReply(DayQuery query, const std::filesystem::path& dataDir,
                                   const std::optional<std::string>& date, double now,
                                   daily::ParserPool* parsers = nullptr);

}  // namespace quillmoss::host
