// Application identity rules; see identity.h.
#include "linux_desktop/identity.h"

#include <system_error>

#include "linux_desktop/small_file.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::optional<std::string> executableName(const fs::path& procDir) {
  std::error_code ec;
  fs::path target = fs::read_symlink(procDir / "exe", ec);
  if (ec) return std::nullopt;
  std::string name = target.filename().string();
  // The kernel marks an executable replaced on disk (an upgrade while running).
  constexpr std::string_view kDeleted = " (deleted)";
  if (name.ends_with(kDeleted)) name.resize(name.size() - kDeleted.size());
  if (name.empty()) return std::nullopt;
  return name;
}

}  // namespace

std::optional<std::string> flatpakAppId(std::string_view text) {
  bool inApplication = false;
  while (!text.empty()) {
    auto newline = text.find('\n');
    std::string_view line = trim(text.substr(0, newline));
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inApplication = line == "[Application]";
      continue;
    }
    if (!inApplication) continue;
    auto equals = line.find('=');
    if (equals == std::string_view::npos || trim(line.substr(0, equals)) != "name") continue;
    std::string_view value = trim(line.substr(equals + 1));
    if (value.empty()) return std::nullopt;
    return std::string(value);
  }
  return std::nullopt;
}

std::optional<std::string> applicationIdentity(const WindowFacts& facts,
                                               const DesktopEntryIndex& index,
                                               const fs::path& procRoot) {
  for (const std::string* name : {&facts.wmInstance, &facts.wmClass}) {
    if (name->empty()) continue;
    if (const DesktopEntry* entry = index.byStartupWmClass(*name)) return entry->id;
  }
  for (const std::string* name : {&facts.wmInstance, &facts.wmClass}) {
    if (name->empty()) continue;
    if (const DesktopEntry* entry = index.byIdIgnoringCase(*name)) return entry->id;
  }
  std::optional<fs::path> procDir;
  if (facts.pid && *facts.pid > 0) procDir = procRoot / std::to_string(*facts.pid);
  if (procDir) {
    constexpr std::size_t kMaxInfoSize = 64 * 1024;
    if (auto info = readSmallFile(*procDir / "root/.flatpak-info", kMaxInfoSize)) {
      if (auto id = flatpakAppId(*info)) return id;
    }
  }
  if (!facts.gtkApplicationId.empty()) return facts.gtkApplicationId;
  if (!facts.wmClass.empty()) return facts.wmClass;
  if (procDir) return executableName(*procDir);
  return std::nullopt;
}

}  // namespace quillmoss::desktop
