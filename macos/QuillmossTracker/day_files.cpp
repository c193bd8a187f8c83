// The tracker's side of the day files.
#include "day_files.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <ctime>
#include <optional>

namespace quillmoss::tracker {
namespace {

constexpr char kGaveWay[] = "another tracker took over the data folder";

std::filesystem::path dayFile(const TrackerState& state, daily::FileKind kind,
                              const std::string& day) {
  return state.kDataDir / daily::fileName(kind, day);
}

// Only the holder of the folder's lock writes. A lock whose file was deleted with its folder
// is taken again at once; if another daemon was quicker, the days are its own from now on.
Status holdDayLock(TrackerState& state) {
  if (state.gaveWay) return Error{daily::kDayFilesErrorDomain, EWOULDBLOCK, kGaveWay};
  if (state.dayLock && state.dayLock->inPlace()) return {};
  auto locked = daily::DayLock::tryAcquire(state.kDataDir);
  if (locked) {
    state.dayLock.emplace(std::move(*locked));
    daily::makeDataFolderPrivate(state.kDataDir);
    return {};
  }
  if (locked.error().code == EWOULDBLOCK) {
    state.gaveWay = true;
    state.dayLock.reset();
    state.loop.quit(1);
    return Error{daily::kDayFilesErrorDomain, EWOULDBLOCK, kGaveWay};
  }
  return locked.error();
}

Status writeDayFile(TrackerState& state, const std::filesystem::path& file,
                    const std::optional<std::string>& bytes) {
  if (!bytes) {
    return Error{daily::kDayFilesErrorDomain, 1,
                 "the day holds a number JSON cannot hold: " + file.string()};
  }
  if (auto held = holdDayLock(state); !held) return held;
  if (state.damagedFiles.contains(file)) {
    const double now = state.clock.now();
    const auto stamp = static_cast<std::time_t>(std::isfinite(now) ? std::floor(now) : 0.0);
    if (auto moved = daily::moveAside(file, stamp); !moved) return moved;
    state.damagedFiles.erase(file);
  }
  return daily::writeFileAtomically(file, *bytes);
}

template <typename T>
T keepUsable(TrackerState& state, const std::filesystem::path& file, daily::Loaded<T> loaded) {
  if (loaded.status == daily::LoadStatus::Unusable) state.damagedFiles.insert(file);
  return std::move(loaded.value);
}

// Merging extends the last element, reading an interval's end and a segment's key and end;
// shorter elements can only come from a damaged file and are left out of the tracker's day.
template <typename List>
List withoutShortElements(List list, std::size_t length) {
  std::erase_if(list, [length](const auto& element) { return element.size() < length; });
  return list;
}

}  // namespace

std::filesystem::path usageURL(const TrackerState& state, const std::string& day) {
  return dayFile(state, daily::FileKind::Usage, day);
}

std::filesystem::path activityURL(const TrackerState& state, const std::string& day) {
  return dayFile(state, daily::FileKind::Activity, day);
}

std::filesystem::path segmentsURL(const TrackerState& state, const std::string& day) {
  return dayFile(state, daily::FileKind::Segments, day);
}

Status save(TrackerState& state, const daily::UsageMap& usage, const std::string& day) {
  return writeDayFile(state, usageURL(state, day), daily::serializeUsage(usage));
}

Status saveActivity(TrackerState& state, const daily::ActivityList& activity,
                    const std::string& day) {
  return writeDayFile(state, activityURL(state, day), daily::serializeActivity(activity));
}

Status saveSegments(TrackerState& state, const daily::SegmentList& segments,
                    const std::string& day) {
  return writeDayFile(state, segmentsURL(state, day), daily::serializeSegments(segments));
}

DayData loadDay(TrackerState& state, const std::string& day) {
  DayData data;
  const auto usageFile = usageURL(state, day);
  data.usage = keepUsable(state, usageFile, daily::loadUsage(usageFile));
  const auto activityFile = activityURL(state, day);
  data.activity =
      withoutShortElements(keepUsable(state, activityFile, daily::loadActivity(activityFile)), 2);
  const auto segmentsFile = segmentsURL(state, day);
  data.segments =
      withoutShortElements(keepUsable(state, segmentsFile, daily::loadSegments(segmentsFile)), 3);
  return data;
}

}  // namespace quillmoss::tracker
