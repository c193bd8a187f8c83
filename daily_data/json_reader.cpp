// Loading day files into the tracker's values: a checked document, converted.
#include "daily_data/daily_data.h"
#include "daily_data/day_document.h"

namespace quillmoss::daily {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

template <typename T>
Loaded<T> notLoaded(LoadStatus status) {
  return Loaded<T>{T{}, status};
}

template <typename T>
Loaded<T> loaded(T&& value) {
  return Loaded<T>{std::forward<T>(value), LoadStatus::Loaded};
}

JsonValue toJsonValue(element value) {
  switch (value.type()) {
    case element_type::ARRAY: {
      simdjson::dom::array array = value.get_array().value_unsafe();
      JsonArray out;
      out.reserve(array.size());
      for (element item : array) out.push_back(toJsonValue(item));
      return out;
    }
    case element_type::OBJECT: {
      simdjson::dom::object object = value.get_object().value_unsafe();
      JsonObject out;
      for (simdjson::dom::key_value_pair member : object) {
        out.emplace_back(std::string(member.key), toJsonValue(member.value));
      }
      return out;
    }
    case element_type::INT64:
      return value.get_int64().value_unsafe();
    case element_type::UINT64:
      return value.get_uint64().value_unsafe();
    case element_type::DOUBLE:
      return value.get_double().value_unsafe();
    case element_type::STRING:
      return std::string(value.get_string().value_unsafe());
    case element_type::BOOL:
      return value.get_bool().value_unsafe();
    case element_type::NULL_VALUE:
      break;
  }
  return JsonValue();
}

Loaded<UsageMap> usageFrom(const DayDocument& document) {
  if (document.status() != LoadStatus::Loaded) return notLoaded<UsageMap>(document.status());
  UsageMap usage;
  // In key order, so the end is always the right hint.
  for (const UsageMember& member : document.usage()) {
    usage.emplace_hint(usage.end(), member.key, member.seconds);
  }
  return loaded(std::move(usage));
}

Loaded<ActivityList> activityFrom(const DayDocument& document) {
  if (document.status() != LoadStatus::Loaded) return notLoaded<ActivityList>(document.status());
  ActivityList activity;
  activity.reserve(document.elements().size());
  for (element item : document.elements()) {
    simdjson::dom::array numbers = item.get_array().value_unsafe();
    ActivityInterval interval;
    interval.reserve(numbers.size());
    for (element number : numbers) interval.push_back(number.get_double().value_unsafe());
    activity.push_back(std::move(interval));
  }
  return loaded(std::move(activity));
}

Loaded<SegmentList> segmentsFrom(const DayDocument& document) {
  if (document.status() != LoadStatus::Loaded) return notLoaded<SegmentList>(document.status());
  SegmentList segments;
  segments.reserve(document.elements().size());
  for (element item : document.elements()) {
    simdjson::dom::array entries = item.get_array().value_unsafe();
    Segment segment;
    segment.reserve(entries.size());
    for (element entry : entries) segment.push_back(toJsonValue(entry));
    segments.push_back(std::move(segment));
  }
  return loaded(std::move(segments));
}

}  // namespace

Loaded<UsageMap> parseUsage(std::string_view text) {
  return usageFrom(DayDocument(text, FileKind::Usage));
}
Loaded<ActivityList> parseActivity(std::string_view text) {
  return activityFrom(DayDocument(text, FileKind::Activity));
}
Loaded<SegmentList> parseSegments(std::string_view text) {
  return segmentsFrom(DayDocument(text, FileKind::Segments));
}

Loaded<UsageMap> loadUsage(const std::filesystem::path& file) {
  return usageFrom(DayDocument(file, FileKind::Usage));
}
Loaded<ActivityList> loadActivity(const std::filesystem::path& file) {
  return activityFrom(DayDocument(file, FileKind::Activity));
}
Loaded<SegmentList> loadSegments(const std::filesystem::path& file) {
  return segmentsFrom(DayDocument(file, FileKind::Segments));
}

}  // namespace quillmoss::daily
