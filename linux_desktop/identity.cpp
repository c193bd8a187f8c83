// Application identity rules; see identity.h.
#include "linux_desktop/identity.h"

#include <algorithm>

#include "linux_desktop/interpreters.h"
#include "linux_desktop/key_file.h"
#include "linux_desktop/process_facts.h"
#include "linux_desktop/small_file.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

// Names a toolkit gives windows whatever the application: Tk's root and toplevel classes, the
// threads and peers Java's AWT names its windows after, and an interpreter's own name.
bool isGenericName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower.empty()) return true;
  for (std::string_view generic : {"tk", "toplevel", "java-lang-thread"}) {
    if (lower == generic) return true;
  }
  // Tk names unnamed widgets "!toplevel", "!toplevel2", ...
  return lower.starts_with('!') || lower.starts_with("sun-awt-") || isInterpreter(lower);
}

// The entry whose Exec runs the script, as named or without its language's ending.
const DesktopEntry* entryRunning(std::string_view script, const DesktopEntryIndex& index) {
  if (const DesktopEntry* entry = index.byExecProgram(script)) return entry;
  const std::string_view stem = withoutScriptEnding(script);
  return stem.size() == script.size() ? nullptr : index.byExecProgram(stem);
}

// Usage keys split at the first "#" (what follows is a browser's domain), so an identity
// carries "_" wherever its source had "#": a class "Foo#Bar" is credited as "Foo_Bar".
std::optional<std::string> withoutNumberSign(std::optional<std::string> identity) {
  if (identity) std::replace(identity->begin(), identity->end(), '#', '_');
  return identity;
}

// Where the X11 and Wayland rules differ: what an app_id is tried as before the class rules.
enum class Source { X11, Wayland };

std::optional<std::string> firstRule(const WindowFacts& facts, Source source,
                                     const DesktopEntryIndex& index, const fs::path& procRoot) {
  ProcessFacts process;
  if (facts.pid && *facts.pid > 0) process = readProcessFacts(procRoot, *facts.pid);
  // An interpreter's windows carry its toolkit's names (a Tk "Toplevel", a Java main class);
  // the script it runs is the application, whatever else the window says.
  for (const std::string& script : process.scripts) {
    if (const DesktopEntry* entry = entryRunning(script, index)) return entry->id;
  }
  const std::string& appId = facts.wmClass;
  if (source == Source::Wayland && !appId.empty()) {
    // An app_id is meant to be an entry's ID; GTK 3 gives the program's name instead.
    if (const DesktopEntry* entry = index.byIdIgnoringCase(appId)) return entry->id;
    if (!isInterpreter(appId)) {
      if (const DesktopEntry* entry = index.byExecProgram(appId)) return entry->id;
    }
  }
  for (const std::string* name : {&facts.wmInstance, &facts.wmClass}) {
    if (name->empty()) continue;
    if (const DesktopEntry* entry = index.byStartupWmClass(*name)) return entry->id;
  }
  for (const std::string* name : {&facts.wmInstance, &facts.wmClass}) {
    if (name->empty()) continue;
    if (const DesktopEntry* entry = index.byIdIgnoringCase(*name)) return entry->id;
  }
  if (facts.pid && *facts.pid > 0) {
    constexpr std::size_t kMaxInfoSize = 64 * 1024;
    const fs::path info = procRoot / std::to_string(*facts.pid) / "root/.flatpak-info";
    if (auto text = readSmallFile(info, kMaxInfoSize)) {
      if (auto id = flatpakAppId(*text)) return id;
    }
  }
  if (!facts.gtkApplicationId.empty()) return facts.gtkApplicationId;
  // As desktop task managers do for programs (Qt and KDE ones, most often) that name no entry;
  // an interpreter's name says nothing about which program it runs.
  const std::optional<std::string>& executable = process.executable;
  if (executable && !isInterpreter(*executable)) {
    if (const DesktopEntry* entry = index.byExecProgram(*executable)) return entry->id;
  }
  if (!facts.wmInstance.empty() && !isInterpreter(facts.wmInstance)) {
    if (const DesktopEntry* entry = index.byExecProgram(facts.wmInstance)) return entry->id;
  }
  if (!isGenericName(facts.wmClass)) return facts.wmClass;
  if (!process.scripts.empty()) return process.scripts.front();
  if (!isGenericName(facts.wmInstance)) return facts.wmInstance;
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
  return withoutNumberSign(firstRule(facts, Source::X11, index, procRoot));
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
  return withoutNumberSign(firstRule(facts, Source::Wayland, index, procRoot));
}

}  // namespace quillmoss::desktop
