// Key file lines; see key_file.h.
#include "linux_desktop/key_file.h"

namespace quillmoss::desktop {

std::string_view trimKeyFileText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool KeyFileReader::next(KeyFileLine& out) {
  while (!rest_.empty()) {
    auto newline = rest_.find('\n');
    std::string_view line = trimKeyFileText(rest_.substr(0, newline));
    rest_.remove_prefix(newline == std::string_view::npos ? rest_.size() : newline + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      // A header without its closing bracket names no group anyone looks for.
      group_ = line.size() >= 2 && line.back() == ']' ? line.substr(1, line.size() - 2) : line;
      out = KeyFileLine{true, group_, {}, {}};
      return true;
    }
    auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    out = KeyFileLine{false, group_, trimKeyFileText(line.substr(0, equals)),
                      trimKeyFileText(line.substr(equals + 1))};
    return true;
  }
  return false;
}

}  // namespace quillmoss::desktop
