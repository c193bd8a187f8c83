// Installed desktop entries (XDG data folders, applications/*.desktop), indexed by ID and
// by StartupWMClass, with the Name localised for the process's locale.
#pragma once

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
  std::string name;  // Name[locale] for LC_ALL / LC_MESSAGES / LANG, else Name
  std::string icon;
  std::string startupWmClass;
  bool noDisplay = false;
};

// The locale keys to try for Name[...], best first ("de_AT@euro" gives de_AT@euro, de_AT,
// de@euro, de); empty for the C and POSIX locales.
std::vector<std::string> localeCandidates(std::string_view locale);
// The locale for messages: the first non-empty of LC_ALL, LC_MESSAGES, LANG.
std::string messagesLocale();

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
  // Several entries may name the same class (an application and its URL handler, say): a
  // visible entry is preferred over a NoDisplay one, then the one found first.
  const DesktopEntry* byStartupWmClass(std::string_view wmClass) const;
  const std::vector<DesktopEntry>& entries() const { return entries_; }

  // True when an applications/ folder of the scan has changed (an entry was installed or
  // removed) since; a few stat calls, no reading.
  bool changedSinceScan() const;
  // A fresh scan of the same data folders.
  DesktopEntryIndex rescan() const { return scan(dataDirs_); }

 private:
  void add(DesktopEntry entry);
  static std::optional<std::filesystem::file_time_type> folderTime(
      const std::filesystem::path& dataDir);

  std::vector<std::filesystem::path> dataDirs_;
  std::vector<std::optional<std::filesystem::file_time_type>> folderTimes_;

  std::vector<DesktopEntry> entries_;
  std::unordered_map<std::string, std::size_t> byId_;
  std::unordered_map<std::string, std::size_t> byLowerId_;
  std::unordered_map<std::string, std::size_t> byWmClass_;
};

}  // namespace quillmoss::desktop
