// Cached desktop entry index, rescanned when an applications folder changes.
#include "platform/linux/installed_applications.h"

namespace quillmoss::host {

namespace fs = std::filesystem;

namespace {

std::optional<desktop::DesktopEntry> copyOf(const desktop::DesktopEntry* entry) {
  if (!entry) return std::nullopt;
  return *entry;
}

}  // namespace

XdgInstalledApplications::XdgInstalledApplications(std::vector<fs::path> dataDirs)
    : dataDirs_(std::move(dataDirs)) {}

XdgInstalledApplications::XdgInstalledApplications()
    : XdgInstalledApplications(desktop::xdgDataDirs()) {}

void XdgInstalledApplications::scanAhead(std::function<void()> done) {
  if (scanned_ || ahead_.valid()) return;
  ahead_ = std::async(std::launch::async, [dataDirs = dataDirs_, done = std::move(done)] {
    auto index = desktop::DesktopEntryIndex::scan(dataDirs);
    if (done) done();
    return index;
  });
}

void XdgInstalledApplications::refreshIfChanged() {
  if (ahead_.valid()) adopt(ahead_.get());
  if (scanned_ && !index_.changedSinceScan()) return;
  adopt(scanned_ ? index_.rescan() : desktop::DesktopEntryIndex::scan(dataDirs_));
}

void XdgInstalledApplications::adopt(desktop::DesktopEntryIndex index) {
  index_ = std::move(index);
  byPath_.clear();
  const auto& entries = index_.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) byPath_.emplace(entries[i].path.string(), i);
  scanned_ = true;
  ++scanCount_;
}

std::optional<desktop::DesktopEntry> XdgInstalledApplications::byId(std::string_view id) {
  refreshIfChanged();
  if (id.empty()) return std::nullopt;
  return copyOf(index_.byIdIgnoringCase(id));
}

const desktop::DesktopEntry* entryForIdentity(const desktop::DesktopEntryIndex& index,
                                              std::string_view identity) {
  if (identity.empty()) return nullptr;
  if (const desktop::DesktopEntry* entry = index.byIdIgnoringCase(identity)) return entry;
  return index.byStartupWmClass(identity);
}

std::optional<desktop::DesktopEntry> XdgInstalledApplications::forIdentity(
    std::string_view identity) {
  refreshIfChanged();
  return copyOf(entryForIdentity(index_, identity));
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
