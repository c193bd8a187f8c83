// A private temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace quillmoss::testing {

class TempDir {
 public:
  // In base when given (/dev/shm spares the disk many durable writes), else in the system's.
  explicit TempDir(std::filesystem::path base = {}) {
    std::error_code error;
    if (base.empty() || !std::filesystem::is_directory(base, error)) {
      base = std::filesystem::temp_directory_path();
    }
    std::string pattern = (base / "qm-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Whole-file helpers; folders are made as needed. writeBytes says whether every byte landed.
inline bool writeBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

inline std::string readBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace quillmoss::testing
