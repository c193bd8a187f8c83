// Desktop-entry scanning and parsing; see desktop_entries.h.
#include "linux_desktop/desktop_entries.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <system_error>
#include <tuple>
#include <unordered_set>

#include "linux_desktop/interpreters.h"
#include "linux_desktop/key_file.h"
#include "linux_desktop/small_file.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string unescape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:  // unknown escapes are kept as written
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

// The words of an Exec value (already string-unescaped): split at spaces, with "..." quoting
// in which \", \`, \$ and \\ stand for the character.
std::vector<std::string> execWords(std::string_view exec) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < exec.size()) {
    if (exec[i] == ' ' || exec[i] == '\t') {
      ++i;
      continue;
    }
    std::string word;
    while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') {
      if (exec[i] != '"') {
        word += exec[i++];
        continue;
      }
      for (++i; i < exec.size() && exec[i] != '"'; ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
        word += exec[i];
      }
      if (i < exec.size()) ++i;  // the closing quote
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<fs::file_time_type> folderTime(const fs::path& folder) {
  std::error_code ec;
  auto time = fs::last_write_time(folder, ec);
  if (ec) return std::nullopt;
  return time;
}

std::string fileNameOf(std::string_view path) {
  if (auto slash = path.rfind('/'); slash != std::string_view::npos) path.remove_prefix(slash + 1);
  return std::string(path);
}

void appendPathList(const char* value, std::vector<fs::path>& out) {
  std::string_view list(value);
  while (!list.empty()) {
    auto colon = list.find(':');
    std::string_view item = list.substr(0, colon);
    if (!item.empty() && item.front() == '/') out.emplace_back(item);
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
}

}  // namespace

std::vector<fs::path> xdgDataDirs() {
  std::vector<fs::path> dirs;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome != nullptr && dataHome[0] == '/') {
    dirs.emplace_back(dataHome);
  } else if (home != nullptr && home[0] == '/') {
    dirs.emplace_back(fs::path(home) / ".local/share");
  }
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::size_t before = dirs.size();
  if (dataDirs != nullptr) appendPathList(dataDirs, dirs);
  if (dirs.size() == before) appendPathList("/usr/local/share:/usr/share", dirs);
  return dirs;
}

std::vector<std::string> nameLocales() {
  std::string_view list;
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') {
      list = value;
      break;
    }
  }
  std::vector<std::string> out;
  while (!list.empty()) {
    auto colon = list.find(':');
    for (std::string& candidate : localeCandidates(list.substr(0, colon))) {
      if (std::find(out.begin(), out.end(), candidate) == out.end()) {
        out.push_back(std::move(candidate));
      }
    }
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return out;
}

namespace {

ExecCommand parseExecWords(const std::vector<std::string>& words, int depth) {
  std::size_t i = 0;
  auto at = [&](std::string_view word) { return i < words.size() && fileNameOf(words[i]) == word; };
  if (depth > 0 && at("exec")) ++i;
  if (at("env")) {
    // env [-i] [-u NAME] [-C DIR] [NAME=VALUE]... PROGRAM
    for (++i; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (word == "-u" || word == "-C") {
        ++i;
      } else if (!word.starts_with('-') && word.find('=') == std::string::npos) {
        break;
      }
    }
  }
  ExecCommand command;
  auto argumentsFrom = [&](std::size_t from) {
    for (std::size_t j = from; j < words.size(); ++j) {
      const std::string& word = words[j];
      const bool fieldCode = word.size() == 2 && word[0] == '%';
      if (!fieldCode && !word.starts_with("@@")) command.arguments = true;
    }
  };
  if (at("flatpak") && i + 1 < words.size() && words[i + 1] == "run") {
    std::string program;
    for (i += 2; i < words.size() && words[i].starts_with('-'); ++i) {
      constexpr std::string_view kCommand = "--command=";
      if (words[i].starts_with(kCommand)) program = fileNameOf(words[i].substr(kCommand.size()));
    }
    if (i < words.size() && program.empty()) program = fileNameOf(words[i]);
    command.program = std::move(program);
    argumentsFrom(i + 1);
    return command;
  }
  if (i >= words.size()) return command;
  const std::vector<std::string> rest(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
  // `sh -c "exec foo --bar"` runs foo.
  if (isInterpreter(rest[0]) && rest.size() > 2 && rest[1] == "-c" && depth == 0) {
    return parseExecWords(execWords(rest[2]), depth + 1);
  }
  const std::optional<std::size_t> scriptIndex = scriptAt(rest);
  command.program = scriptIndex ? scriptOf(rest).value_or("") : fileNameOf(rest[0]);
  argumentsFrom(i + scriptIndex.value_or(0) + 1);
  return command;
}

}  // namespace

ExecCommand parseExec(std::string_view exec) {
  return parseExecWords(execWords(exec), 0);
}

std::string execProgram(std::string_view exec) {
  return parseExec(exec).program;
}

std::vector<std::string> localeCandidates(std::string_view locale) {
  if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.")) return {};
  // lang_COUNTRY.ENCODING@MODIFIER; the encoding plays no part in matching.
  std::string_view modifier;
  if (auto at = locale.find('@'); at != std::string_view::npos) {
    modifier = locale.substr(at + 1);
    locale = locale.substr(0, at);
  }
  if (auto dot = locale.find('.'); dot != std::string_view::npos) locale = locale.substr(0, dot);
  std::string_view lang = locale;
  std::string_view country;
  if (auto underscore = locale.find('_'); underscore != std::string_view::npos) {
    lang = locale.substr(0, underscore);
    country = locale.substr(underscore + 1);
  }
  std::vector<std::string> out;
  std::string langCountry(lang);
  if (!country.empty()) langCountry.append("_").append(country);
  if (!modifier.empty() && !country.empty())
    out.push_back(langCountry + "@" + std::string(modifier));
  if (!country.empty()) out.push_back(langCountry);
  if (!modifier.empty()) out.push_back(std::string(lang) + "@" + std::string(modifier));
  out.emplace_back(lang);
  return out;
}

bool parseDesktopEntry(std::string_view text, const std::vector<std::string>& locales,
                       DesktopEntry& entry) {
  bool inGroup = false;
  bool sawGroup = false;
  bool hidden = false;
  std::size_t nameRank = locales.size() + 1;  // lower is better; locales.size() is plain Name
  KeyFileReader reader(text);
  KeyFileLine line;
  while (reader.next(line)) {
    if (line.isGroupHeader) {
      if (inGroup) break;  // only the main group matters, and it comes first
      inGroup = line.group == "Desktop Entry";
      sawGroup = sawGroup || inGroup;
      continue;
    }
    if (!inGroup) continue;
    const std::string_view key = line.key;
    const std::string_view value = line.value;
    if (key == "Name") {
      if (nameRank > locales.size()) {
        entry.name = unescape(value);
        nameRank = locales.size();
      }
    } else if (key.starts_with("Name[") && key.ends_with("]")) {
      std::string_view tag = key.substr(5, key.size() - 6);
      auto found = std::find(locales.begin(), locales.end(), tag);
      auto rank = static_cast<std::size_t>(found - locales.begin());
      if (found != locales.end() && rank < nameRank) {
        entry.name = unescape(value);
        nameRank = rank;
      }
    } else if (key == "Icon") {
      entry.icon = unescape(value);
    } else if (key == "StartupWMClass") {
      entry.startupWmClass = unescape(value);
    } else if (key == "Exec") {
      ExecCommand command = parseExec(unescape(value));
      entry.execProgram = std::move(command.program);
      entry.execArguments = command.arguments;
    } else if (key == "Categories") {
      entry.settingsRole = (";" + std::string(value) + ";").find(";Settings;") != std::string::npos;
    } else if (key == "NoDisplay") {
      entry.noDisplay = value == "true";
    } else if (key == "Hidden") {
      hidden = value == "true";
    }
  }
  return sawGroup && !hidden;
}

DesktopEntryIndex DesktopEntryIndex::scan() {
  return scan(xdgDataDirs());
}

DesktopEntryIndex DesktopEntryIndex::scan(const std::vector<fs::path>& dataDirs) {
  return scan(dataDirs, nullptr);
}

DesktopEntryIndex DesktopEntryIndex::scan(const std::vector<fs::path>& dataDirs,
                                          const DesktopEntryIndex* previous) {
  static std::atomic<std::uint64_t> scans{0};
  DesktopEntryIndex index;
  index.scanId_ = ++scans;
  index.dataDirs_ = dataDirs;
  // Folders are noted before they are read, so a change during the scan shows up next time.
  const auto scanStart = fs::file_time_type::clock::now();
  const std::time_t scanStartSeconds = std::time(nullptr);
  const std::vector<std::string> locales = nameLocales();
  // An ID seen in an earlier folder shadows later ones, even when it is Hidden there.
  std::unordered_set<std::string> seen;
  for (const fs::path& dataDir : dataDirs) {
    const fs::path root = dataDir / "applications";
    index.watched_.push_back({root, folderTime(root)});
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator
             it(root, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
      if (it->is_directory(ec)) {
        index.watched_.push_back({it->path(), folderTime(it->path())});
      } else if (it->path().extension() == ".desktop" && it->is_regular_file(ec)) {
        files.push_back(it->path());
      }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::string id = file.lexically_relative(root).replace_extension().generic_string();
      std::replace(id.begin(), id.end(), '/', '-');
      if (!seen.insert(id).second) continue;
      // A file as it was at the last scan is not read again.
      ReadFile read;
      struct stat info {};
      const bool stamped = ::stat(file.c_str(), &info) == 0;
      if (stamped) {
        read.modifiedNs = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        read.size = static_cast<std::uint64_t>(info.st_size);
        read.inode = info.st_ino;
      }
      const ReadFile* before = previous ? previous->readFileAt(file) : nullptr;
      if (stamped && before && *before == read) {
        if (before->entry) {
          read.entry = index.entries_.size();
          index.add(previous->entries_[*before->entry]);
        }
        index.readFiles_.emplace(file.string(), read);
        continue;
      }
      // Desktop entries are a few KiB; anything bigger is not one.
      constexpr std::size_t kMaxEntrySize = 1 << 20;
      auto text = readSmallFile(file, kMaxEntrySize);
      if (!text) continue;
      DesktopEntry entry;
      if (parseDesktopEntry(*text, locales, entry)) {
        entry.id = std::move(id);
        entry.path = file;
        read.entry = index.entries_.size();
        index.add(std::move(entry));
      }
      // One changed just now may change again within its time stamp's resolution.
      const bool settled = info.st_mtim.tv_sec + kCoarseTimeWindow.count() < scanStartSeconds;
      if (stamped && settled) index.readFiles_.emplace(file.string(), read);
    }
  }
  for (const WatchedFolder& folder : index.watched_) {
    if (folder.modified && *folder.modified > scanStart - kCoarseTimeWindow) index.racy_ = true;
  }
  return index;
}

const DesktopEntryIndex::ReadFile* DesktopEntryIndex::readFileAt(const fs::path& file) const {
  auto found = readFiles_.find(file.string());
  return found == readFiles_.end() ? nullptr : &found->second;
}

bool DesktopEntryIndex::changedSinceScan() const {
  if (racy_) return true;
  for (const WatchedFolder& folder : watched_) {
    if (folderTime(folder.path) != folder.modified) return true;
  }
  return false;
}

void DesktopEntryIndex::pick(std::unordered_map<std::string, std::size_t>& map,
                             const std::string& key, std::size_t at,
                             const std::vector<DesktopEntry>& entries) {
  if (key.empty()) return;
  auto [it, inserted] = map.emplace(key, at);
  if (!inserted && betterFor(entries[at], entries[it->second], key)) it->second = at;
}

bool DesktopEntryIndex::betterFor(const DesktopEntry& a, const DesktopEntry& b,
                                  std::string_view key) {
  const std::string lowerKey = lowerAscii(key);
  auto rank = [&](const DesktopEntry& e) {
    const std::string id = lowerAscii(e.id);
    const std::string_view lastPart = std::string_view(id).substr(id.rfind('.') + 1);
    const bool named = id == lowerKey || lastPart == lowerKey || lowerAscii(e.name) == lowerKey;
    // Lower is better, criteria in order.
    return std::tuple(e.noDisplay || e.settingsRole, !named, e.execArguments);
  };
  return rank(a) < rank(b);
}

void DesktopEntryIndex::add(DesktopEntry entry) {
  const std::size_t at = entries_.size();
  byId_.emplace(entry.id, at);
  byLowerId_.emplace(lowerAscii(entry.id), at);
  entries_.push_back(std::move(entry));
  pick(byWmClass_, entries_.back().startupWmClass, at, entries_);
  pick(byExec_, entries_.back().execProgram, at, entries_);
}

const DesktopEntry* DesktopEntryIndex::byId(std::string_view id) const {
  auto it = byId_.find(std::string(id));
  return it == byId_.end() ? nullptr : &entries_[it->second];
}

const DesktopEntry* DesktopEntryIndex::byIdIgnoringCase(std::string_view id) const {
  if (const DesktopEntry* exact = byId(id)) return exact;
  auto it = byLowerId_.find(lowerAscii(id));
  return it == byLowerId_.end() ? nullptr : &entries_[it->second];
}

const DesktopEntry* DesktopEntryIndex::byStartupWmClass(std::string_view wmClass) const {
  auto it = byWmClass_.find(std::string(wmClass));
  return it == byWmClass_.end() ? nullptr : &entries_[it->second];
}

const DesktopEntry* DesktopEntryIndex::byExecProgram(std::string_view program) const {
  auto it = byExec_.find(std::string(program));
  return it == byExec_.end() ? nullptr : &entries_[it->second];
}

}  // namespace quillmoss::desktop
