// Maps windows, desktop entries and icon themes onto the workspace port.
#include "platform/linux/linux_workspace.h"

#include <system_error>

#include "platform/linux/pixbuf_image.h"

namespace quillmoss::host {

namespace fs = std::filesystem;

namespace {

// A running application's icon from its desktop entry, found only when it is drawn: listing
// the running applications for a name then costs no icon lookups.
class DeferredEntryIcon : public Image {
 public:
  DeferredEntryIcon(const LinuxWorkspace& workspace, std::string icon)
      : workspace_(workspace), icon_(std::move(icon)) {}
  std::optional<std::vector<std::uint8_t>> pngDrawnAtSize(int width, int height) const override {
    auto image = workspace_.entryIcon(icon_);
    if (!image) return std::nullopt;
    return image->pngDrawnAtSize(width, height);
  }

 private:
  const LinuxWorkspace& workspace_;
  std::string icon_;
};

}  // namespace

std::vector<RunningApplication> LinuxWorkspace::runningApplications() {
  std::vector<RunningApplication> applications;
  std::vector<desktop::RunningWindow> windows =
      running_.list().value_or(std::vector<desktop::RunningWindow>{});
  // Checked for changes once for all windows, not once for each.
  const desktop::DesktopEntryIndex& index = installed_.index();
  for (desktop::RunningWindow& window : windows) {
    RunningApplication application;
    const desktop::DesktopEntry* entry = nullptr;
    if (!window.identity.empty()) {
      entry = entryForIdentity(index, window.identity);
      application.bundleIdentifier = std::move(window.identity);
    }
    if (entry && !entry->name.empty()) {
      application.localizedName = entry->name;
    } else if (!window.title.empty()) {
      application.localizedName = std::move(window.title);
    }
    std::shared_ptr<const Image> entryIcon;
    if (entry && !entry->icon.empty()) {
      entryIcon = std::make_shared<DeferredEntryIcon>(*this, entry->icon);
    }
    if (!window.iconArgb.empty()) {
      application.icon = std::make_shared<ArgbImage>(window.iconWidth, window.iconHeight,
                                                     std::move(window.iconArgb));
    } else if (auto windowIcon = running_.windowIcon(window, entryIcon)) {
      application.icon = std::move(windowIcon);
    } else {
      application.icon = std::move(entryIcon);
    }
    applications.push_back(std::move(application));
  }
  return applications;
}

std::optional<InstalledApplication> LinuxWorkspace::urlForApplication(const std::string& bundleId) {
  auto entry = installed_.byId(bundleId);
  if (!entry) return std::nullopt;
  std::string name = entry->name.empty() ? entry->path.stem().string() : entry->name;
  return InstalledApplication{entry->path.string(), std::move(name)};
}

std::shared_ptr<const Image> LinuxWorkspace::iconForFile(const std::string& path) {
  auto entry = installed_.atPath(path);
  if (!entry) return nullptr;
  return entryIcon(entry->icon);
}

std::shared_ptr<const Image> LinuxWorkspace::entryIcon(const std::string& icon) const {
  if (icon.empty()) return nullptr;
  const fs::path given(icon);
  if (given.is_absolute()) {
    std::error_code ec;
    if (!fs::is_regular_file(given, ec)) return nullptr;
    return std::make_shared<PixbufFileImage>(given);
  }
  auto file = iconTheme_.lookup(icon);
  if (!file) return nullptr;
  return std::make_shared<PixbufFileImage>(std::move(*file));
}

}  // namespace quillmoss::host
