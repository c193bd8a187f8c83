// The home folder; see home_folder.h.
#include "posix/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace quillmoss::posix {
namespace {

// Entries larger than this are not believed.
constexpr std::size_t kMaxEntryBytes = 1u << 20;

}  // namespace

std::optional<std::filesystem::path> passwdHomeFolder(std::size_t firstBufferBytes) {
  const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(firstBufferBytes > 0 ? firstBufferBytes
                           : hint > 0           ? static_cast<std::size_t>(hint)
                                                : 4096);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
    // The size the system suggests is only a hint: a long entry needs more.
    if (rc == ERANGE && buffer.size() < kMaxEntryBytes) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
      return std::nullopt;
    }
    return std::filesystem::path(found->pw_dir);
  }
}

std::optional<std::filesystem::path> homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return std::filesystem::path(home);
  }
  return passwdHomeFolder();
}

}  // namespace quillmoss::posix
