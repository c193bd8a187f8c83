// The installed applications of an XDG desktop: its desktop entries, looked up by ID, by a
// running window's identity, or by the entry's file.
#pragma once

#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "linux_desktop/desktop_entries.h"

namespace quillmoss::host {

class InstalledApplications {
 public:
  virtual ~InstalledApplications() = default;
  // The entry with this ID, else the one whose ID differs only in case.
  virtual std::optional<desktop::DesktopEntry> byId(std::string_view id) = 0;
  // As byId, then by StartupWMClass: how a running window's identity maps to an entry.
  virtual std::optional<desktop::DesktopEntry> forIdentity(std::string_view identity) = 0;
  virtual std::optional<desktop::DesktopEntry> atPath(const std::filesystem::path& file) = 0;
  // The whole index, as of the last refresh.
  virtual const desktop::DesktopEntryIndex& index() = 0;
};

// How a running window's identity maps to an entry: by ID (ignoring case), then by
// StartupWMClass; null when none does.
const desktop::DesktopEntry* entryForIdentity(const desktop::DesktopEntryIndex& index,
                                              std::string_view identity);

// The entries of the given XDG data folders, scanned once and scanned again when the index says
// they changed (DesktopEntryIndex::changedSinceScan). Used on one thread.
class XdgInstalledApplications : public InstalledApplications {
 public:
  explicit XdgInstalledApplications(std::vector<std::filesystem::path> dataDirs);
  // $XDG_DATA_HOME and $XDG_DATA_DIRS.
  XdgInstalledApplications();

  // Starts the first scan now on a thread of its own, which then calls `done` (on that thread),
  // so that the first lookup finds the index ready; one that comes sooner waits for the scan.
  // The object waits for the thread when it goes.
  void scanAhead(std::function<void()> done = {});

  std::optional<desktop::DesktopEntry> byId(std::string_view id) override;
  std::optional<desktop::DesktopEntry> forIdentity(std::string_view identity) override;
  std::optional<desktop::DesktopEntry> atPath(const std::filesystem::path& file) override;
  const desktop::DesktopEntryIndex& index() override;

  int scanCount() const { return scanCount_; }

 private:
  void refreshIfChanged();

  void adopt(desktop::DesktopEntryIndex index);

  std::vector<std::filesystem::path> dataDirs_;
  std::future<desktop::DesktopEntryIndex> ahead_;
  desktop::DesktopEntryIndex index_;
  std::unordered_map<std::string, std::size_t> byPath_;
  bool scanned_ = false;
  int scanCount_ = 0;
};

}  // namespace quillmoss::host
