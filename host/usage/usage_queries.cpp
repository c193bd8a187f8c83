// Day queries over the shared day-file library.
#include "usage/usage_queries.h"

#include <cstdint>
#include <limits>
#include <type_traits>

#include "daily_data/daily_data.h"

namespace quillmoss::host {

using engine::EncodableList;
using engine::EncodableMap;
using engine::EncodableValue;

namespace {

EncodableValue emptyValue(DayQuery query) {
  if (query == DayQuery::Usage) return EncodableValue(EncodableMap{});
  return EncodableValue(EncodableList{});
}

EncodableValue integerValue(std::int64_t v) {
  if (v >= std::numeric_limits<std::int32_t>::min() &&
      v <= std::numeric_limits<std::int32_t>::max()) {
    return EncodableValue(static_cast<std::int32_t>(v));
  }
  return EncodableValue(v);
}

}  // namespace

EncodableValue toEncodable(const daily::JsonValue& value) {
  return std::visit(
      [](const auto& v) -> EncodableValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) {
          return EncodableValue();
        } else if constexpr (std::is_same_v<T, bool>) {
          return EncodableValue(v);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return integerValue(v);
        } else if constexpr (std::is_same_v<T, std::uint64_t>) {
          // Above the 64-bit signed range the codec has no integer; keep the magnitude.
          if (v <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return integerValue(static_cast<std::int64_t>(v));
          }
          return EncodableValue(static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, double>) {
          return EncodableValue(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return EncodableValue(v);
        } else if constexpr (std::is_same_v<T, daily::JsonArray>) {
          EncodableList list;
          list.reserve(v.size());
          for (const auto& element : v) list.push_back(toEncodable(element));
          return EncodableValue(std::move(list));
        } else {
          EncodableMap map;
          for (const auto& [name, member] : v) map[EncodableValue(name)] = toEncodable(member);
          return EncodableValue(std::move(map));
        }
      },
      value.value);
}

EncodableValue queryDay(DayQuery query, const std::filesystem::path& dataDir,
                        const std::optional<std::string>& date, double now) {
  std::string day;
  if (date) {
    if (!daily::isDayString(*date)) return emptyValue(query);
    day = *date;
  } else {
    day = daily::localDayString(now);
  }
  if (dataDir.empty()) return emptyValue(query);

  switch (query) {
    case DayQuery::Usage: {
      auto loaded = daily::loadUsage(dataDir / daily::fileName(daily::FileKind::Usage, day));
      if (loaded.status != daily::LoadStatus::Loaded) break;
      EncodableMap map;
      for (const auto& [key, seconds] : loaded.value) map.emplace(EncodableValue(key), seconds);
      return EncodableValue(std::move(map));
    }
    case DayQuery::Activity: {
      auto loaded = daily::loadActivity(dataDir / daily::fileName(daily::FileKind::Activity, day));
      if (loaded.status != daily::LoadStatus::Loaded) break;
      EncodableList list;
      list.reserve(loaded.value.size());
      for (const auto& interval : loaded.value) {
        EncodableList numbers;
        numbers.reserve(interval.size());
        for (double number : interval) numbers.emplace_back(number);
        list.emplace_back(std::move(numbers));
      }
      return EncodableValue(std::move(list));
    }
    case DayQuery::Segments: {
      auto loaded = daily::loadSegments(dataDir / daily::fileName(daily::FileKind::Segments, day));
      if (loaded.status != daily::LoadStatus::Loaded) break;
      EncodableList list;
      list.reserve(loaded.value.size());
      for (const auto& segment : loaded.value) {
        EncodableList entries;
        entries.reserve(segment.size());
        for (const auto& entry : segment) entries.push_back(toEncodable(entry));
        list.emplace_back(std::move(entries));
      }
      return EncodableValue(std::move(list));
    }
  }
  return emptyValue(query);
}

}  // namespace quillmoss::host
