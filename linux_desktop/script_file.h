// A script handed to a desktop shell as a file (KWin loads scripts only from files): written into
// a private folder of its own, removed with that folder when its owner goes. A program carries
// its scripts in itself this way, whatever folder it was copied to.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "core/error.h"

namespace quillmoss::desktop {

class ScriptFile {
 public:
  // The file <base>/quillmoss-XXXXXX/<folder>/<name> holding text (folders 0700, file 0600).
  static Expected<std::unique_ptr<ScriptFile>> write(const std::filesystem::path& base,
                                                     std::string_view folder, std::string_view name,
                                                     std::string_view text);
  ~ScriptFile();
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;

  const std::filesystem::path& path() const { return file_; }

 private:
  ScriptFile(std::filesystem::path root, std::filesystem::path file)
      : root_(std::move(root)), file_(std::move(file)) {}

  std::filesystem::path root_;
  std::filesystem::path file_;
};

// Where such folders go: $XDG_RUNTIME_DIR (the user's own, emptied at logout) when it names one,
// else the system's temporary folder.
std::filesystem::path scriptFolderBase();

}  // namespace quillmoss::desktop
