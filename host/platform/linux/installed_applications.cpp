// Cached desktop entry index, rescanned when an applications folder changes.
#include "platform/linux/installed_applications.h"

#include <system_error>

namespace quillmoss::host {

namespace fs = std::filesystem;

namespace {

std::optional<fs::file_time_type> modifiedTime(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return std::nullopt;
  auto time = fs::last_write_time(folder, ec);
  if (ec) return std::nullopt;
  return time;
}

std::optional<desktop::DesktopEntry> copyOf(const desktop::DesktopEntry* entry) {
  if (!entry) return std::nullopt;
  return *entry;
}

}  // namespace

XdgInstalledApplications::XdgInstalledApplications(std::vector<fs::path> dataDirs)
    : dataDirs_(std::move(dataDirs)) {}

XdgInstalledApplications::XdgInstalledApplications()
    : XdgInstalledApplications(desktop::xdgDataDirs()) {}

void XdgInstalledApplications::rescan() {
  // Folders are noted before the scan, so a change during the scan shows up next time.
  watched_.clear();
  const auto scanStart = fs::file_time_type::clock::now();
  for (const fs::path& dataDir : dataDirs_) {
    const fs::path root = dataDir / "applications";
    watched_.push_back({root, modifiedTime(root)});
    std::error_code ec;
    for (fs::recursive_directory_iterator
             it(root, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
      if (it->is_directory(ec)) watched_.push_back({it->path(), modifiedTime(it->path())});
    }
  }
  // Folder times are kept with a coarse clock: one changed close to the scan may change again
  // without its time moving, so such a scan is not trusted for long.
  racy_ = false;
  for (const WatchedFolder& folder : watched_) {
    if (folder.modified && *folder.modified > scanStart - kRacyWindow) racy_ = true;
  }
  index_ = desktop::DesktopEntryIndex::scan(dataDirs_);
  byPath_.clear();
  const auto& entries = index_.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) byPath_.emplace(entries[i].path.string(), i);
  scanned_ = true;
  ++scanCount_;
}

void XdgInstalledApplications::refreshIfChanged() {
  if (!scanned_ || racy_) return rescan();
  for (const WatchedFolder& folder : watched_) {
    if (modifiedTime(folder.path) != folder.modified) return rescan();
  }
}

std::optional<desktop::DesktopEntry> XdgInstalledApplications::byId(std::string_view id) {
  refreshIfChanged();
  if (id.empty()) return std::nullopt;
  return copyOf(index_.byIdIgnoringCase(id));
}

std::optional<desktop::DesktopEntry> XdgInstalledApplications::forIdentity(
    std::string_view identity) {
  refreshIfChanged();
  if (identity.empty()) return std::nullopt;
  if (const desktop::DesktopEntry* entry = index_.byIdIgnoringCase(identity)) return *entry;
  return copyOf(index_.byStartupWmClass(identity));
}

std::optional<desktop::DesktopEntry> XdgInstalledApplications::atPath(const fs::path& file) {
  refreshIfChanged();
  auto found = byPath_.find(file.string());
  if (found == byPath_.end()) return std::nullopt;
  return index_.entries()[found->second];
}

const desktop::DesktopEntryIndex& XdgInstalledApplications::index() {
  refreshIfChanged();
  return index_;
}

}  // namespace quillmoss::host
