// Installed desktop entries (XDG data folders, applications/**/*.desktop), indexed by ID, by
// StartupWMClass and by the program they run, with the Name localised for the user's languages.
// The one index of both programs: the tracker's identities and the host's names and icons.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmoss::desktop {

// $XDG_DATA_HOME (else ~/.local/share) first, then $XDG_DATA_DIRS (else /usr/local/share and
// /usr/share). Relative entries are ignored, as the base-directory rules require.
std::vector<std::filesystem::path> xdgDataDirs();

struct DesktopEntry {
  std::string id;  // path below applications/ with '/' as '-', without ".desktop"
  std::filesystem::path path;
  std::string name;  // Name[...] for the first of nameLocales() it has, else Name
  std::string icon;
  std::string startupWmClass;
  std::string execProgram;     // see execProgram()
  bool execArguments = false;  // Exec passes the program more than field codes
  bool noDisplay = false;
  bool settingsRole = false;  // in the Settings category: a program's preferences, say
};

// The locale keys to try for Name[...], best first ("de_AT@euro" gives de_AT@euro, de_AT,
// de@euro, de); empty for the C and POSIX locales.
std::vector<std::string> localeCandidates(std::string_view locale);
// The Name[...] keys to try, best first, in the order GLib uses: each language of the
// colon-separated LANGUAGE in turn, else the first non-empty of LC_ALL, LC_MESSAGES, LANG.
std::vector<std::string> nameLocales();

// The file name of the program an Exec line runs: its first word, unquoted, past `env` and its
// assignments and options and past `flatpak run` (whose --command=, else the application ID,
// counts); for an interpreter the script it runs (see scriptOf()), for `sh -c` the program of
// its command. Empty when there is none.
std::string execProgram(std::string_view exec);

struct ExecCommand {
  std::string program;     // as execProgram()
  bool arguments = false;  // words after the program other than field codes (%U, @@u, ...)
};
ExecCommand parseExec(std::string_view exec);

// Parses the [Desktop Entry] group of one file's text. False when the text has no such group
// or the entry is Hidden=true. id and path are left for the caller.
bool parseDesktopEntry(std::string_view text, const std::vector<std::string>& locales,
                       DesktopEntry& entry);

class DesktopEntryIndex {
 public:
  static DesktopEntryIndex scan();
  static DesktopEntryIndex scan(const std::vector<std::filesystem::path>& dataDirs);

  const DesktopEntry* byId(std::string_view id) const;
  const DesktopEntry* byIdIgnoringCase(std::string_view id) const;
  // Several entries may name the same class (an application and its URL handler, say) or run
  // the same program (an editor and its settings dialog): see betterFor().
  const DesktopEntry* byStartupWmClass(std::string_view wmClass) const;
  // The entry whose Exec runs this program (a file name, or a script an interpreter runs).
  const DesktopEntry* byExecProgram(std::string_view program) const;
  // Which of two entries claiming the same class or program (`key`) stands for it: one that is
  // shown and no settings dialog, then one whose ID (or its last dotted part) or Name is the key
  // ignoring case, then one that runs the program without arguments; else the first found.
  static bool betterFor(const DesktopEntry& a, const DesktopEntry& b, std::string_view key);
  const std::vector<DesktopEntry>& entries() const { return entries_; }

  // True when an applications/ folder, or any folder below one, has changed (an entry was
  // installed, removed or renamed) since the scan; a few stat calls, no reading. A folder
  // changed within kCoarseTimeWindow before the scan counts as changed until it has been quiet
  // that long (each rescan is checked afresh): its time may be too coarse to move on a second
  // change.
  bool changedSinceScan() const;
  static constexpr std::chrono::seconds kCoarseTimeWindow{2};
  // A fresh scan of the same data folders. Files that kept their size, time and inode are not
  // read again: their entries (or their refusal) carry over, so a change costs little more than
  // listing the folders.
  DesktopEntryIndex rescan() const { return scan(dataDirs_, this); }
  // Different for every scan in this process: what was found under another scan is stale.
  std::uint64_t scanId() const { return scanId_; }

 private:
  struct WatchedFolder {
    std::filesystem::path path;
    std::optional<std::filesystem::file_time_type> modified;  // nullopt: absent
  };

  // What a file was when it was read, and what came of it.
  struct ReadFile {
    std::int64_t modifiedNs = 0;
    std::uint64_t size = 0, inode = 0;
    std::optional<std::size_t> entry;  // its place in entries_; nullopt: not an entry
    bool operator==(const ReadFile& other) const {
      return modifiedNs == other.modifiedNs && size == other.size && inode == other.inode;
    }
  };

  static DesktopEntryIndex scan(const std::vector<std::filesystem::path>& dataDirs,
                                const DesktopEntryIndex* previous);
  const ReadFile* readFileAt(const std::filesystem::path& file) const;
  void add(DesktopEntry entry);
  static void pick(std::unordered_map<std::string, std::size_t>& map, const std::string& key,
                   std::size_t at, const std::vector<DesktopEntry>& entries);

  std::vector<std::filesystem::path> dataDirs_;
  std::vector<WatchedFolder> watched_;
  bool racy_ = false;

  std::uint64_t scanId_ = 0;
  std::vector<DesktopEntry> entries_;
  std::unordered_map<std::string, std::size_t> byId_;
  std::unordered_map<std::string, std::size_t> byLowerId_;
  std::unordered_map<std::string, std::size_t> byWmClass_;
  std::unordered_map<std::string, std::size_t> byExec_;
  std::unordered_map<std::string, ReadFile> readFiles_;  // by path
};

}  // namespace quillmoss::desktop
