// The stand-in's job table: one record file per label in a private state folder, guarded
// by an exclusive flock on that folder while a command runs.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "posix/unique_fd.h"

namespace quillmoss::launchd {

struct JobRecord {
  std::string label;
  std::string plist;    // the property list the job was loaded from
  std::string program;  // what runs
  std::string sessionType;
  long pid = 0;                      // 0 when no process was started
  unsigned long long startTime = 0;  // the process's start time, against pid reuse
  int lastExitStatus = 0;
};

// $XDG_RUNTIME_DIR/quillmoss-launchd, else /tmp/quillmoss-launchd-<uid>.
std::filesystem::path stateFolder();

class JobStore {
 public:
  // Creates the folder (mode 0700, owned by the user), then waits for the lock.
  static std::optional<JobStore> open(std::string& reason);
  JobStore(JobStore&&) noexcept = default;
  JobStore& operator=(JobStore&&) = delete;

  std::optional<JobRecord> find(const std::string& label) const;
  std::optional<JobRecord> findByPlist(const std::string& plist) const;
  std::vector<JobRecord> all() const;
  bool save(const JobRecord& record) const;
  void forget(const std::string& label) const;

  // Labels become file names: no slash, not empty, no leading dot, no line breaks.
  static bool usableLabel(const std::string& label);

 private:
  JobStore(std::filesystem::path folder, posix::UniqueFd lock)
      : folder_(std::move(folder)), lock_(std::move(lock)) {}
  std::filesystem::path recordFile(const std::string& label) const;

  std::filesystem::path folder_;
  posix::UniqueFd lock_;  // the flock is released when it closes
};

}  // namespace quillmoss::launchd
