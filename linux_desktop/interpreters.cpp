// Interpreters and the scripts they run; see interpreters.h.
#include "linux_desktop/interpreters.h"

#include <algorithm>
#include <array>

namespace quillmoss::desktop {
namespace {

// How an interpreter's options read: which take the next word as their value, which name what
// runs in the next word, and which carry the code itself (then no file runs).
struct Options {
  std::string_view family;
  std::vector<std::string_view> takeValue, nameProgram, carryCode;
};

const std::array<Options, 13>& optionTable() {
  static const std::array<Options, 13> table{{
      {"sh", {"-o", "+o", "-O", "+O"}, {}, {"-c"}},
      {"python", {"-W", "-X", "--check-hash-based-pycs"}, {"-m"}, {"-c"}},
      {"java",
       {"-cp", "-classpath", "--class-path", "-p", "--module-path", "--upgrade-module-path",
        "--add-modules", "--limit-modules", "--add-opens", "--add-exports", "--add-reads",
        "--patch-module", "--enable-native-access"},
       {"-jar", "-m", "--module"},
       {}},
      {"perl", {}, {}, {"-e", "-E"}},
      {"ruby", {"-I", "-r", "-C"}, {}, {"-e"}},
      {"node", {"-r", "--require", "--import", "--loader"}, {}, {"-e", "--eval", "-p", "--print"}},
      {"gjs", {"-I", "--include-path"}, {"-m", "--module"}, {"-c", "--command"}},
      {"mono", {}, {}, {}},
      {"wine", {}, {}, {}},
      {"tclsh", {}, {}, {}},
      {"wish", {"-display", "-geometry", "-name", "-class", "-visual", "-use"}, {}, {}},
      {"lua", {"-l"}, {}, {"-e"}},
      {"php", {"-c", "-d", "-z"}, {"-f"}, {"-r"}},
  }};
  return table;
}

std::string_view fileName(std::string_view path) {
  // Wine's programs may carry Windows paths.
  if (auto slash = path.find_last_of("/\\"); slash != std::string_view::npos) {
    path.remove_prefix(slash + 1);
  }
  return path;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), text.end() - ending.size(), [](char a, char b) {
    return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
  });
}

// The options of the interpreter a file name names, past its version ("python3.11"); null for
// other programs.
const Options* optionsOf(std::string_view program) {
  program = fileName(program);
  constexpr std::string_view kPreloader = "-preloader";  // wine64-preloader
  if (program.ends_with(kPreloader)) program.remove_suffix(kPreloader.size());
  while (!program.empty() &&
         ((program.back() >= '0' && program.back() <= '9') || program.back() == '.')) {
    program.remove_suffix(1);
  }
  const std::pair<std::string_view, std::string_view> kAliases[] = {
      {"bash", "sh"},     {"dash", "sh"},        {"zsh", "sh"},
      {"ksh", "sh"},      {"mksh", "sh"},        {"pypy", "python"},
      {"nodejs", "node"}, {"mono-sgen", "mono"}, {"gjs-console", "gjs"},
  };
  for (auto [alias, family] : kAliases) {
    if (program == alias) program = family;
  }
  for (const Options& options : optionTable()) {
    if (program == options.family) return &options;
  }
  return nullptr;
}

bool contains(const std::vector<std::string_view>& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

}  // namespace

bool isInterpreter(std::string_view program) {
  return optionsOf(program) != nullptr;
}

std::optional<std::size_t> scriptAt(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  const Options* options = optionsOf(argv[0]);
  if (options == nullptr) {
    // Wine shows the Windows program in place of its own name.
    if (endsWithIgnoringCase(argv[0], ".exe")) return 0;
    return std::nullopt;
  }
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string_view word = argv[i];
    if (word == "--" || contains(options->nameProgram, word)) {
      if (i + 1 == argv.size()) return std::nullopt;
      return i + 1;
    }
    if (contains(options->carryCode, word)) return std::nullopt;
    if (contains(options->takeValue, word)) {
      ++i;
      continue;
    }
    // Java reads more options from "@file"s.
    if (word.empty() || word.starts_with('-') || word.starts_with('+') ||
        (options->family == "java" && word.starts_with('@'))) {
      continue;
    }
    return i;
  }
  return std::nullopt;
}

std::optional<std::string> scriptOf(const std::vector<std::string>& argv) {
  auto at = scriptAt(argv);
  if (!at) return std::nullopt;
  std::string_view name = fileName(argv[*at]);
  if (name.empty()) return std::nullopt;
  return std::string(name);
}

std::string_view withoutScriptEnding(std::string_view script) {
  for (std::string_view ending : {".py", ".pyw", ".jar", ".pl", ".rb", ".js", ".mjs", ".sh", ".tcl",
                                  ".lua", ".php", ".exe"}) {
    if (script.size() > ending.size() && endsWithIgnoringCase(script, ending)) {
      return script.substr(0, script.size() - ending.size());
    }
  }
  return script;
}

}  // namespace quillmoss::desktop
