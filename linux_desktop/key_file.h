// Reads INI-style key files (desktop entries, Flatpak metadata) line by line.
#pragma once

#include <string_view>

namespace quillmoss::desktop {

struct KeyFileLine {
  bool isGroupHeader = false;
  std::string_view group;  // the group this line opens or stands in, without brackets
  std::string_view key;    // trimmed; empty on a group header
  std::string_view value;  // trimmed, still escaped
};

// Yields group headers and "key=value" lines; blank lines, comments and lines without '='
// are skipped.
class KeyFileReader {
 public:
  explicit KeyFileReader(std::string_view text) : rest_(text) {}
  bool next(KeyFileLine& line);

 private:
  std::string_view rest_;
  std::string_view group_;
};

std::string_view trimKeyFileText(std::string_view text);

}  // namespace quillmoss::desktop
