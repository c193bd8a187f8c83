// Scripts written for a desktop shell to read; see script_file.h.
#include "linux_desktop/script_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "posix/unique_fd.h"
#include "posix/write_all.h"

namespace quillmoss::desktop {

namespace fs = std::filesystem;

Expected<std::unique_ptr<ScriptFile>> ScriptFile::write(const fs::path& base,
                                                        std::string_view folder,
                                                        std::string_view name,
                                                        std::string_view text) {
  // mkdtemp makes a new folder, 0700, that no one else can have prepared for us.
  std::string pattern = (base / "quillmoss-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    return posixError("cannot make a folder in " + base.string(), errno);
  }
  // Owned from here: a failure below removes what was made.
  std::unique_ptr<ScriptFile> script(new ScriptFile(pattern, fs::path(pattern) / folder / name));
  const fs::path inner = script->file_.parent_path();
  if (::mkdir(inner.c_str(), 0700) != 0) return posixError("cannot make " + inner.string(), errno);
  posix::UniqueFd fd(
      ::open(script->file_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return posixError("cannot create " + script->file_.string(), errno);
  if (!posix::writeAll(fd.get(), text))
    return posixError("cannot write " + script->file_.string(), errno);
  return script;
}

ScriptFile::~ScriptFile() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path scriptFolderBase() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && runtime[0] == '/') {
    return runtime;
  }
  std::error_code ec;
  const fs::path temporary = fs::temp_directory_path(ec);
  return ec ? fs::path("/tmp") : temporary;
}

}  // namespace quillmoss::desktop
