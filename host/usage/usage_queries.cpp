// Day queries: the checked document written into the reply, item by item.
#include "usage/usage_queries.h"

#include <algorithm>
#include <limits>

#include "daily_data/day_document.h"
#include "engine/standard_message_codec.h"

namespace quillmoss::host {

using engine::StandardValueWriter;
using simdjson::dom::element;
using simdjson::dom::element_type;

namespace {

constexpr std::uint8_t kSuccessEnvelope = 0;

void writeEntry(StandardValueWriter& out, element value);

// As a map: names in byte order, each once, with the value of its last member.
void writeObject(StandardValueWriter& out, simdjson::dom::object object) {
  std::vector<simdjson::dom::key_value_pair> members(object.begin(), object.end());
  std::stable_sort(members.begin(), members.end(),
                   [](const auto& a, const auto& b) { return a.key < b.key; });
  const auto last = [&](std::size_t i) {
    return i + 1 == members.size() || members[i + 1].key != members[i].key;
  };
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < members.size(); ++i) distinct += last(i) ? 1 : 0;
  out.beginMap(distinct);
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (!last(i)) continue;
    out.writeString(members[i].key);
    writeEntry(out, members[i].value);
  }
}

// A segment entry as the file holds it. Depth is bounded by the parser.
void writeEntry(StandardValueWriter& out, element value) {
  switch (value.type()) {
    case element_type::ARRAY: {
      simdjson::dom::array array = value.get_array().value_unsafe();
      out.beginList(array.size());
      for (element item : array) writeEntry(out, item);
      return;
    }
    case element_type::OBJECT:
      writeObject(out, value.get_object().value_unsafe());
      return;
    case element_type::INT64:
      out.writeInteger(value.get_int64().value_unsafe());
      return;
    case element_type::UINT64: {
      // Above the 64-bit signed range the codec has no integer; keep the magnitude.
      const std::uint64_t v = value.get_uint64().value_unsafe();
      if (v <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        out.writeInteger(static_cast<std::int64_t>(v));
      } else {
        out.writeDouble(static_cast<double>(v));
      }
      return;
    }
    case element_type::DOUBLE:
      out.writeDouble(value.get_double().value_unsafe());
      return;
    case element_type::STRING:
      out.writeString(value.get_string().value_unsafe());
      return;
    case element_type::BOOL:
      out.writeBool(value.get_bool().value_unsafe());
      return;
    case element_type::NULL_VALUE:
      out.writeNull();
      return;
  }
}

void writeContent(StandardValueWriter& out, DayQuery query, const daily::DayDocument& document) {
  if (query == DayQuery::Usage) {
    out.beginMap(document.usage().size());
    for (const daily::UsageMember& member : document.usage()) {
      out.writeString(member.key);
      out.writeDouble(member.seconds);
    }
    return;
  }
  out.beginList(document.elements().size());
  for (element item : document.elements()) {
    simdjson::dom::array entries = item.get_array().value_unsafe();
    out.beginList(entries.size());
    for (element entry : entries) {
      if (query == DayQuery::Activity) {
        out.writeDouble(entry.get_double().value_unsafe());
      } else {
        writeEntry(out, entry);
      }
    }
  }
}

daily::FileKind fileKind(DayQuery query) {
  switch (query) {
    case DayQuery::Usage:
      return daily::FileKind::Usage;
    case DayQuery::Activity:
      return daily::FileKind::Activity;
    case DayQuery::Segments:
      break;
  }
  return daily::FileKind::Segments;
}

}  // namespace

std::vector<std::uint8_t> dayReply(DayQuery query, const std::filesystem::path& dataDir,
                                   const std::optional<std::string>& date, double now,
                                   daily::ParserPool* parsers) {
  std::vector<std::uint8_t> reply{kSuccessEnvelope};
  StandardValueWriter out(reply);
  const auto writeEmpty = [&] {
    if (query == DayQuery::Usage) {
      out.beginMap(0);
    } else {
      out.beginList(0);
    }
    return reply;
  };
  if (date && !daily::isDayString(*date)) return writeEmpty();
  if (dataDir.empty()) return writeEmpty();
  const std::string day = date ? *date : daily::localDayString(now);
  const daily::FileKind kind = fileKind(query);
  const daily::DayDocument document(dataDir / daily::fileName(kind, day), kind, parsers);
  if (document.status() != daily::LoadStatus::Loaded) return writeEmpty();
  // About the file's size for files the tracker wrote; a reply that outgrows it grows.
  reply.reserve(document.textSize() + document.textSize() / 2 + 64);
  writeContent(out, query, document);
  return reply;
}

}  // namespace quillmoss::host
