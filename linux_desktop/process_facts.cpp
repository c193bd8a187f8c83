// Process facts from /proc; see process_facts.h.
#include "linux_desktop/process_facts.h"

#include <charconv>
#include <system_error>

#include "linux_desktop/interpreters.h"
#include "linux_desktop/small_file.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

// Launchers rarely nest deeper than a script starting a script starting the interpreter.
constexpr int kMaxParents = 3;
// Command lines past this are cut; what names the program comes first.
constexpr std::size_t kMaxCommandLine = 16 * 1024;

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

std::vector<std::string> commandLineWords(std::string_view text) {
  std::vector<std::string> words;
  while (!text.empty()) {
    const std::size_t nul = std::min(text.find('\0'), text.size());
    words.emplace_back(text.substr(0, nul));
    text.remove_prefix(std::min(nul + 1, text.size()));
  }
  return words;
}

std::optional<int> parentPidOf(std::string_view stat) {
  // "pid (comm) state ppid ...": comm may hold spaces and parentheses, so read after the last.
  const std::size_t close = stat.rfind(')');
  if (close == std::string_view::npos || close + 4 > stat.size()) return std::nullopt;
  std::string_view rest = stat.substr(close + 2);
  const std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  rest.remove_prefix(space + 1);
  int ppid = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), ppid);
  if (ec != std::errc() || ppid <= 0) return std::nullopt;
  return ppid;
}

ProcessFacts readProcessFacts(const fs::path& procRoot, int pid) {
  ProcessFacts facts;
  if (pid <= 0) return facts;
  fs::path procDir = procRoot / std::to_string(pid);
  facts.executable = executableName(procDir);
  std::optional<std::string> program = facts.executable;
  for (int depth = 0; program && isInterpreter(*program) && depth <= kMaxParents; ++depth) {
    if (auto text = readSmallFile(procDir / "cmdline", kMaxCommandLine)) {
      std::vector<std::string> words = commandLineWords(*text);
      // A program may rename itself (exec -a); the executable still tells how to read the rest.
      if (!words.empty() && !scriptAt(words) && !isInterpreter(words[0])) words[0] = *program;
      if (auto script = scriptOf(words)) facts.scripts.push_back(*script);
    }
    auto stat = readSmallFile(procDir / "stat", 1024);
    std::optional<int> parent = stat ? parentPidOf(*stat) : std::nullopt;
    if (!parent || *parent <= 1) break;
    procDir = procRoot / std::to_string(*parent);
    program = executableName(procDir);
  }
  return facts;
}

}  // namespace quillmoss::desktop
