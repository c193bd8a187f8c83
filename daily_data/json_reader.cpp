// Reading day files: bounded, non-blocking file reads and shape-checked parsing with simdjson.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <simdjson.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// A day's files need two levels; anything much deeper is not a day file, and the cap
// also bounds the recursion that copies segment entries.
constexpr std::size_t kMaxDepth = 64;

// The bytes of a file followed by the zeroed padding simdjson reads past the end.
struct PaddedBytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
};

// Room for `capacity` bytes and the padding, keeping the first `keep` bytes.
void reserveBytes(PaddedBytes& bytes, std::size_t keep, std::size_t capacity) {
  auto grown = std::make_unique_for_overwrite<char[]>(capacity + simdjson::SIMDJSON_PADDING);
  if (keep > 0) std::memcpy(grown.get(), bytes.data.get(), keep);
  bytes.data = std::move(grown);
}

template <typename T>
Loaded<T> unusable() {
  return Loaded<T>{T{}, LoadStatus::Unusable};
}

template <typename T>
Loaded<T> loaded(T&& value) {
  return Loaded<T>{std::forward<T>(value), LoadStatus::Loaded};
}

// Reads a whole regular file of at most kMaxDayFileBytes. O_NONBLOCK keeps a FIFO or device
// placed at the path from blocking the caller; such files are then refused as not regular.
LoadStatus readPadded(const std::filesystem::path& file, PaddedBytes& out) {
  int raw;
  do {
    raw = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) return errno == ENOENT ? LoadStatus::Missing : LoadStatus::Unusable;
  posix::UniqueFd fd(raw);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return LoadStatus::Unusable;
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > kMaxDayFileBytes) {
    return LoadStatus::Unusable;
  }
  // One byte more than expected, so growth while reading is noticed without a second read.
  std::size_t capacity = static_cast<std::size_t>(info.st_size) + 1;
  reserveBytes(out, 0, capacity);
  std::size_t used = 0;
  for (;;) {
    if (used == capacity) {
      if (capacity > kMaxDayFileBytes) return LoadStatus::Unusable;
      capacity = std::min<std::size_t>(capacity * 2, kMaxDayFileBytes + 1);
      reserveBytes(out, used, capacity);
    }
    ssize_t n = ::read(fd.get(), out.data.get() + used, capacity - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LoadStatus::Unusable;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > kMaxDayFileBytes) return LoadStatus::Unusable;
  std::memset(out.data.get() + used, 0, simdjson::SIMDJSON_PADDING);
  out.size = used;
  return LoadStatus::Loaded;
}

PaddedBytes padText(std::string_view text) {
  PaddedBytes bytes;
  reserveBytes(bytes, 0, text.size());
  if (!text.empty()) std::memcpy(bytes.data.get(), text.data(), text.size());
  std::memset(bytes.data.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
  bytes.size = text.size();
  return bytes;
}

// A parser sized for one document. None is kept between loads: the daemon loads a day once,
// and a kept parser would hold a few megabytes for the rest of the day.
class DocumentParser {
 public:
  // Parses the document; false for anything simdjson rejects (not JSON, bad UTF-8, numbers
  // out of range, too deep, unescaped control characters, trailing content). The root stays
  // valid while this parser lives.
  bool parse(const PaddedBytes& bytes, element& root) {
    if (bytes.size > kMaxDayFileBytes) return false;
    if (parser_.allocate(std::max<std::size_t>(bytes.size, 1), kMaxDepth) != simdjson::SUCCESS) {
      return false;
    }
    return parser_.parse(bytes.data.get(), bytes.size, false).get(root) == simdjson::SUCCESS;
  }

 private:
  simdjson::dom::parser parser_;
};

bool isNumber(element value) {
  switch (value.type()) {
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return true;
    default:
      return false;
  }
}

// A number as a double; the caller checked isNumber.
double numberOf(element value) {
  double number = 0.0;
  if (value.get_double().get(number) != simdjson::SUCCESS) return 0.0;
  return number;
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

Loaded<UsageMap> usageFrom(const PaddedBytes& bytes) {
  DocumentParser parser;
  element root;
  if (!parser.parse(bytes, root)) return unusable<UsageMap>();
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) return unusable<UsageMap>();
  UsageMap usage;
  for (simdjson::dom::key_value_pair member : object) {
    if (!isNumber(member.value)) return unusable<UsageMap>();
    std::size_t before = usage.size();
    // The writer sorts the keys, so the end is the right hint for files it wrote.
    usage.emplace_hint(usage.end(), std::string(member.key), numberOf(member.value));
    // A repeated name would make one total silently win over another.
    if (usage.size() == before) return unusable<UsageMap>();
  }
  return loaded(std::move(usage));
}

Loaded<ActivityList> activityFrom(const PaddedBytes& bytes) {
  DocumentParser parser;
  element root;
  if (!parser.parse(bytes, root)) return unusable<ActivityList>();
  simdjson::dom::array array;
  if (root.get_array().get(array) != simdjson::SUCCESS) return unusable<ActivityList>();
  ActivityList activity;
  activity.reserve(array.size());
  for (element item : array) {
    simdjson::dom::array numbers;
    if (item.get_array().get(numbers) != simdjson::SUCCESS) return unusable<ActivityList>();
    ActivityInterval interval;
    interval.reserve(numbers.size());
    for (element number : numbers) {
      if (!isNumber(number)) return unusable<ActivityList>();
      interval.push_back(numberOf(number));
    }
    activity.push_back(std::move(interval));
  }
  return loaded(std::move(activity));
}

Loaded<SegmentList> segmentsFrom(const PaddedBytes& bytes) {
  DocumentParser parser;
  element root;
  if (!parser.parse(bytes, root)) return unusable<SegmentList>();
  simdjson::dom::array array;
  if (root.get_array().get(array) != simdjson::SUCCESS) return unusable<SegmentList>();
  SegmentList segments;
  segments.reserve(array.size());
  for (element item : array) {
    simdjson::dom::array entries;
    if (item.get_array().get(entries) != simdjson::SUCCESS) return unusable<SegmentList>();
    Segment segment;
    segment.reserve(entries.size());
    for (element entry : entries) segment.push_back(toJsonValue(entry));
    segments.push_back(std::move(segment));
  }
  return loaded(std::move(segments));
}

template <typename T>
Loaded<T> loadWith(const std::filesystem::path& file, Loaded<T> (*parse)(const PaddedBytes&)) {
  PaddedBytes bytes;
  LoadStatus status = readPadded(file, bytes);
  if (status != LoadStatus::Loaded) return Loaded<T>{T{}, status};
  return parse(bytes);
}

}  // namespace

Loaded<UsageMap> parseUsage(std::string_view text) {
  return usageFrom(padText(text));
}
Loaded<ActivityList> parseActivity(std::string_view text) {
  return activityFrom(padText(text));
}
Loaded<SegmentList> parseSegments(std::string_view text) {
  return segmentsFrom(padText(text));
}

Loaded<UsageMap> loadUsage(const std::filesystem::path& file) {
  return loadWith(file, usageFrom);
}
Loaded<ActivityList> loadActivity(const std::filesystem::path& file) {
  return loadWith(file, activityFrom);
}
Loaded<SegmentList> loadSegments(const std::filesystem::path& file) {
  return loadWith(file, segmentsFrom);
}

}  // namespace quillmoss::daily
