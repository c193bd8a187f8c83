// Application identity rules; see identity.h.
#include "linux_desktop/identity.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "linux_desktop/key_file.h"
#include "linux_desktop/small_file.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

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

// Programs that run other programs: their name says nothing about which application it is.
bool isInterpreter(std::string_view program) {
  constexpr std::array<std::string_view, 14> kInterpreters = {
      "sh",   "bash", "dash", "zsh",  "python", "python2", "python3",
      "perl", "ruby", "node", "java", "mono",   "wine",    "gjs"};
  if (std::find(kInterpreters.begin(), kInterpreters.end(), program) != kInterpreters.end()) {
    return true;
  }
  return program.starts_with("python3.") || program.starts_with("wine");
}

// Usage keys split at the first "#" (what follows is a browser's domain), so an identity
// carries "_" wherever its source had "#": a class "Foo#Bar" is credited as "Foo_Bar".
std::optional<std::string> withoutNumberSign(std::optional<std::string> identity) {
  if (identity) std::replace(identity->begin(), identity->end(), '#', '_');
  return identity;
}

std::optional<std::string> firstRule(const WindowFacts& facts, const DesktopEntryIndex& index,
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
  // As desktop task managers do for programs (Qt and KDE ones, most often) that name no entry.
  std::optional<std::string> executable;
  if (procDir) executable = executableName(*procDir);
  if (executable && !isInterpreter(*executable)) {
    if (const DesktopEntry* entry = index.byExecProgram(*executable)) return entry->id;
  }
  if (!facts.wmInstance.empty() && !isInterpreter(facts.wmInstance)) {
    if (const DesktopEntry* entry = index.byExecProgram(facts.wmInstance)) return entry->id;
  }
  if (!facts.wmClass.empty()) return facts.wmClass;
  return executable;
}

}  // namespace

std::optional<std::string> flatpakAppId(std::string_view text) {
  KeyFileReader reader(text);
  KeyFileLine line;
  while (reader.next(line)) {
    if (line.isGroupHeader || line.group != "Application" || line.key != "name") continue;
    if (line.value.empty()) return std::nullopt;
    return std::string(line.value);
  }
  return std::nullopt;
}

std::optional<std::string> applicationIdentity(const WindowFacts& facts,
                                               const DesktopEntryIndex& index,
                                               const fs::path& procRoot) {
  return withoutNumberSign(firstRule(facts, index, procRoot));
}

std::optional<std::string> waylandIdentity(std::string_view appId, std::string_view wmClass,
                                           std::optional<int> pid, const DesktopEntryIndex& index,
                                           const fs::path& procRoot) {
  constexpr std::string_view kSuffix = ".desktop";
  if (appId.ends_with(kSuffix)) appId.remove_suffix(kSuffix.size());
  WindowFacts facts;
  facts.wmInstance = wmClass;
  facts.wmClass = appId;
  facts.pid = pid;
  if (facts.wmClass.empty()) std::swap(facts.wmInstance, facts.wmClass);
  return applicationIdentity(facts, index, procRoot);
}

}  // namespace quillmoss::desktop
