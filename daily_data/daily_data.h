// The one definition of the day files shared by the tracker and the host:
// day strings, the data folder, file names, shape-checked loading and durable writing.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error.h"
#include "daily_data/json_value.h"
#include "posix/unique_fd.h"

namespace quillmoss::daily {

// Seconds credited per usage key. std::map keeps the keys sorted for the writer.
using UsageMap = std::map<std::string, double>;
// Activity intervals as read: each element has at least two numbers [start, end, ...].
using ActivityInterval = std::vector<double>;
using ActivityList = std::vector<ActivityInterval>;
// Usage segments as read: each element has at least three entries [key, start, end, ...],
// whose types are not checked (a loaded file may hold anything there).
using Segment = std::vector<JsonValue>;
using SegmentList = std::vector<Segment>;

enum class FileKind { Usage, Activity, Segments };

// "yyyy-MM-dd" of the local calendar day that holds the instant (seconds since 1970), in the
// zone as it stands now (see local_zone.h).
std::string localDayString(double instant);
// True exactly for four digits, '-', two digits, '-', two digits.
bool isDayString(std::string_view text);

// Errors of the day files' own rules (a day that cannot be written as JSON).
inline constexpr char kDayFilesErrorDomain[] = "com.velbrook.quillmoss.dayfiles";

// The app's own folder's name in the user's data folder.
inline constexpr char kAppFolderName[] = "com.velbrook.quillmoss";

// The user's data folder: on Linux $XDG_DATA_HOME when absolute, else the home folder's
// ".local/share"; on macOS the Application Support folder. nullopt when there is none.
std::optional<std::filesystem::path> userDataFolder();
// The app's folder in a user data folder, and the day files' folder ("usage") in that.
std::filesystem::path appFolderIn(const std::filesystem::path& userDataFolder);
std::filesystem::path dataDirectoryIn(const std::filesystem::path& userDataFolder);
// dataDirectoryIn(userDataFolder()): the tracker's kDataDir and the host's dataDir.
std::optional<std::filesystem::path> dataDirectory();
// On Linux, the XDG rule for any base folder: the variable when absolute, else inHome in the home
// folder; userFolder("XDG_CONFIG_HOME", ".config"), userFolder("XDG_CACHE_HOME", ".cache").
std::optional<std::filesystem::path> userFolder(const char* variable,
                                                const std::filesystem::path& inHome);

// "usage_" + day + ".json", "activity_" + day + ".json", "segments_" + day + ".json".
std::string fileName(FileKind kind, std::string_view day);

enum class LoadStatus {
  Missing,   // no such file: empty value, nothing to protect
  Loaded,    // a usable file
  Unusable,  // exists but unreadable, not JSON or of the wrong shape: empty value
};

template <typename T>
struct Loaded {
  T value{};
  LoadStatus status = LoadStatus::Missing;
};

// Larger files are refused unread (Unusable). The bound must hold whatever the tracker writes:
// a heavy day is about 1.3 MB, the worst realistic one some 200,000 segments (a switch every
// 0.4 s around the clock) at about 44 bytes plus the key each, which stays below this with keys
// of up to 290 bytes on average; real keys (an identifier, a "#" and a domain) are a third of it.
inline constexpr std::uintmax_t kMaxDayFileBytes = 64u << 20;

// Shape-checked parsing of a whole file's text. Elements are kept as the file holds them, whatever
// their length. Anything simdjson refuses (bad UTF-8, numbers out of range, nesting deeper than 64)
// and repeated names in the usage object make the text Unusable.
Loaded<UsageMap> parseUsage(std::string_view text);
Loaded<ActivityList> parseActivity(std::string_view text);
Loaded<SegmentList> parseSegments(std::string_view text);

// Missing only when the path does not exist; a folder, FIFO or other non-regular file, a read
// error or a file over kMaxDayFileBytes is Unusable. Never blocks on what sits at the path.
Loaded<UsageMap> loadUsage(const std::filesystem::path& file);
Loaded<ActivityList> loadActivity(const std::filesystem::path& file);
Loaded<SegmentList> loadSegments(const std::filesystem::path& file);

// Compact JSON as the tracker writes it; nullopt when a number is not finite. Doubles read back
// bit-identical and always as doubles ("5.0"); bytes that are not UTF-8 are written as U+FFFD
// (usage keys that become equal that way are written once, with their sum).
std::optional<std::string> serializeUsage(const UsageMap& usage);
std::optional<std::string> serializeActivity(const ActivityList& activity);
std::optional<std::string> serializeSegments(const SegmentList& segments);

// Day files tell what the user did and when: folders this library makes are the user's alone
// (0700, as the base-directory rules ask of data folders) and so are the files it writes (0600).
inline constexpr mode_t kPrivateFolderMode = 0700;
inline constexpr mode_t kPrivateFileMode = 0600;

// Makes the folder and any missing folder above it, each kPrivateFolderMode. False when the
// folder is not there afterwards.
bool createPrivateFolders(const std::filesystem::path& folder);

// Takes group and other access away from the data folder, the application's folder above it
// and the regular files in the data folder, where they are this user's: for what was made
// before these modes were used. Links are never followed.
void makeDataFolderPrivate(const std::filesystem::path& dataDir);

// Creates the folder (with parents), then writes the bytes durably and atomically: a fixed
// temporary name beside the target (".<name>.tmp", kPrivateFileMode, created afresh and never
// through a link), write all, sync to the disk (posix/sync_to_disk.h), rename, sync the folder.
// On failure the error (POSIX domain, the errno as code) says which step failed and why: a full
// disk (ENOSPC) or a folder we may not write (EACCES) among others. The previous file is then
// untouched, unless only the final folder sync failed (the new file is in place but not known
// to be durable).
Status writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Moves an unusable day file aside as "<name>.damaged-<unix seconds>" in the same folder
// (a numeric suffix is added if that name is taken). Success when the file is gone from its
// place (moved, or already absent).
Status moveAside(const std::filesystem::path& file, std::time_t now);

// An exclusive flock on "<dir>/.tracker.lock", held for the object's life (closing the
// descriptor releases it). acquire() creates the folder and the file, then waits until the lock
// is granted; tryAcquire() fails with EWOULDBLOCK instead of waiting. An error names the file;
// anything but a regular file at the lock's name (a symbolic link above all) fails with ELOOP.
class DayLock {
 public:
  static Expected<DayLock> acquire(const std::filesystem::path& dir);
  static Expected<DayLock> tryAcquire(const std::filesystem::path& dir);

  // False once the file locked is no longer the one at the lock's name: the folder or the
  // file was deleted (or replaced), and a second tracker could lock a new one.
  bool inPlace() const;

 private:
  DayLock(posix::UniqueFd fd, std::filesystem::path file) : fd_(std::move(fd)), file_(file) {}
  static Expected<DayLock> take(const std::filesystem::path& dir, bool wait);
  posix::UniqueFd fd_;
  std::filesystem::path file_;
};

}  // namespace quillmoss::daily
