// Job records as small "key=value" files, written by rename under the folder's lock.
#include "job_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace quillmoss::launchd {

namespace fs = std::filesystem;

namespace {

constexpr char kRecordSuffix[] = ".job";

std::optional<JobRecord> readRecord(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  JobRecord record;
  std::string line;
  while (std::getline(in, line)) {
    auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    if (key == "label")
      record.label = value;
    else if (key == "plist")
      record.plist = value;
    else if (key == "program")
      record.program = value;
    else if (key == "session")
      record.sessionType = value;
    else if (key == "pid")
      record.pid = std::strtol(value.c_str(), nullptr, 10);
    else if (key == "start")
      record.startTime = std::strtoull(value.c_str(), nullptr, 10);
    else if (key == "exit")
      record.lastExitStatus = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
  }
  if (record.label.empty()) return std::nullopt;
  return record;
}

bool oneLine(const std::string& text) {
  return text.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

fs::path stateFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && runtime[0] == '/') {
    return fs::path(runtime) / "quillmoss-launchd";
  }
  return fs::path("/tmp") / ("quillmoss-launchd-" + std::to_string(::getuid()));
}

bool JobStore::usableLabel(const std::string& label) {
  return !label.empty() && label.front() != '.' && label.find('/') == std::string::npos &&
         oneLine(label);
}

std::optional<JobStore> JobStore::open(std::string& reason) {
  const fs::path folder = stateFolder();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    reason = "cannot create " + folder.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // O_NOFOLLOW and the owner check keep another user's folder or a planted link out.
  posix::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || info.st_uid != ::getuid() ||
      (info.st_mode & 0077) != 0) {
    reason = "unsafe state folder " + folder.string();
    return std::nullopt;
  }
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      reason = "cannot lock " + folder.string() + ": " + std::strerror(errno);
      return std::nullopt;
    }
  }
  return JobStore(folder, std::move(fd));
}

fs::path JobStore::recordFile(const std::string& label) const {
  return folder_ / (label + kRecordSuffix);
}

std::optional<JobRecord> JobStore::find(const std::string& label) const {
  if (!usableLabel(label)) return std::nullopt;
  return readRecord(recordFile(label));
}

std::optional<JobRecord> JobStore::findByPlist(const std::string& plist) const {
  for (auto& record : all()) {
    if (record.plist == plist) return record;
  }
  return std::nullopt;
}

std::vector<JobRecord> JobStore::all() const {
  std::vector<JobRecord> records;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    if (entry.path().extension() != kRecordSuffix) continue;
    if (auto record = readRecord(entry.path())) records.push_back(std::move(*record));
  }
  return records;
}

bool JobStore::save(const JobRecord& record) const {
  if (!usableLabel(record.label) || !oneLine(record.plist) || !oneLine(record.program) ||
      !oneLine(record.sessionType)) {
    return false;
  }
  std::ostringstream text;
  text << "label=" << record.label << "\nplist=" << record.plist << "\nprogram=" << record.program
       << "\nsession=" << record.sessionType << "\npid=" << record.pid
       << "\nstart=" << record.startTime << "\nexit=" << record.lastExitStatus << "\n";
  const fs::path target = recordFile(record.label);
  const fs::path temporary = folder_ / ("." + record.label + ".tmp");
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text.str();
    if (!out.flush()) return false;
  }
  return ::rename(temporary.c_str(), target.c_str()) == 0;
}

void JobStore::forget(const std::string& label) const {
  if (usableLabel(label)) ::unlink(recordFile(label).c_str());
}

}  // namespace quillmoss::launchd
