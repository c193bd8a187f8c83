// launchctl: a stand-in for launchd's command-line tool with the commands the host uses:
// "load [-w] PLIST", "unload [-w] PLIST" and "list [LABEL]". A job loaded to run at load is
// also loaded again at the next login (login_start.h) until "unload -w".
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "job_plist.h"
#include "job_process.h"
#include "job_store.h"
#include "login_start.h"

namespace {

using namespace quillmoss::launchd;

constexpr int kExitUsage = 64;
constexpr int kExitFailure = 1;
constexpr int kExitNotFound = 113;  // launchd's "Could not find service"
constexpr int kExecFailedStatus = 127 << 8;
constexpr auto kStopGrace = std::chrono::seconds(10);

int usage() {
  std::fprintf(stderr,
               "usage: launchctl load [-w] PLIST\n"
               "       launchctl unload [-w] PLIST\n"
               "       launchctl list [LABEL]\n");
  return kExitUsage;
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// Property-list string escaping for the listing.
std::string plistQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// This program's own file, which the login runs again.
std::string selfPath() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("launchctl") : self.string();
}

std::optional<JobStore> openStore() {
  std::string reason;
  auto store = JobStore::open(reason);
  if (!store) std::fprintf(stderr, "launchctl: %s\n", reason.c_str());
  return store;
}

// Splits "[-w] [-F] PLIST" into its path; -w overrides a Disabled key.
bool plistArgument(const std::vector<std::string>& args, std::string& plist, bool& force) {
  force = false;
  for (const auto& arg : args) {
    if (arg == "-w" || arg == "-F") {
      force = true;
    } else if (!arg.empty() && arg.front() == '-') {
      return false;
    } else if (plist.empty()) {
      plist = arg;
    } else {
      return false;
    }
  }
  return !plist.empty();
}

int load(const std::vector<std::string>& args) {
  std::string plist;
  bool force = false;
  if (!plistArgument(args, plist, force)) return usage();
  plist = absolutePath(plist);
  std::string reason;
  auto job = readJobPlist(plist, reason);
  if (!job) {
    std::fprintf(stderr, "%s: Invalid property list (%s)\n", plist.c_str(), reason.c_str());
    return kExitFailure;
  }
  if (!JobStore::usableLabel(job->label)) {
    std::fprintf(stderr, "%s: Invalid Label\n", plist.c_str());
    return kExitFailure;
  }
  if (job->disabled && !force) {
    std::fprintf(stderr, "%s: service disabled\n", plist.c_str());
    return kExitFailure;
  }
  auto store = openStore();
  if (!store) return kExitFailure;
  // A job whose process is gone is loaded afresh: without a launchd that lives across logins,
  // the record of the last login (a job table that outlived it) must not stop this one.
  if (auto loaded = store->find(job->label);
      loaded && loaded->pid > 0 &&
      processAlive(static_cast<pid_t>(loaded->pid), loaded->startTime)) {
    std::fprintf(stderr, "%s: service already loaded\n", plist.c_str());
    return kExitFailure;
  }

  JobRecord record;
  record.label = job->label;
  record.plist = plist;
  record.program = job->program;
  record.sessionType = job->sessionType;
  if (job->runAtLoad) {
    Launched launched = launchDetached(job->program, job->arguments);
    record.pid = launched.pid;
    record.startTime = launched.startTime;
    if (launched.execError != 0) record.lastExitStatus = kExecFailedStatus;
  }
  if (!store->save(record)) {
    if (record.pid > 0) terminateProcess(record.pid, record.startTime, kStopGrace);
    std::fprintf(stderr, "%s: could not record the job\n", plist.c_str());
    return kExitFailure;
  }
  if (job->runAtLoad) {
    const LoginStart login{job->label, job->program, selfPath(), plist};
    if (quillmoss::Status registered = registerLoginStart(login); !registered) {
      std::fprintf(stderr, "%s: not started at login: %s\n", plist.c_str(),
                   registered.error().message.c_str());
    }
  }
  return 0;
}

int unload(const std::vector<std::string>& args) {
  std::string plist;
  bool force = false;
  if (!plistArgument(args, plist, force)) return usage();
  plist = absolutePath(plist);
  auto store = openStore();
  if (!store) return kExitFailure;

  // The label comes from the file; a file that is gone or damaged is matched by its path.
  std::optional<JobRecord> record;
  std::string reason;
  std::string label;
  if (auto job = readJobPlist(plist, reason)) {
    label = job->label;
    record = store->find(label);
  }
  if (!record) record = store->findByPlist(plist);
  if (record) label = record->label;
  // -w: not at the next login either, whether or not the job is loaded now.
  if (force && JobStore::usableLabel(label)) {
    if (quillmoss::Status removed = unregisterLoginStart(label); !removed) {
      std::fprintf(stderr, "%s: %s\n", plist.c_str(), removed.error().message.c_str());
    }
  }
  if (!record) {
    std::fprintf(stderr, "Unload failed: %d: Could not find specified service\n", kExitNotFound);
    return kExitFailure;
  }
  if (record->pid > 0 &&
      !terminateProcess(static_cast<pid_t>(record->pid), record->startTime, kStopGrace)) {
    std::fprintf(stderr, "%s: the job's process %ld did not end\n", plist.c_str(), record->pid);
    return kExitFailure;
  }
  store->forget(record->label);
  return 0;
}

int list(const std::vector<std::string>& args) {
  if (args.size() > 1) return usage();
  auto store = openStore();
  if (!store) return kExitFailure;
  if (args.empty()) {
    std::printf("PID\tStatus\tLabel\n");
    for (const auto& record : store->all()) {
      const bool alive =
          record.pid > 0 && processAlive(static_cast<pid_t>(record.pid), record.startTime);
      std::printf("%s\t%d\t%s\n", alive ? std::to_string(record.pid).c_str() : "-",
                  record.lastExitStatus, record.label.c_str());
    }
    return 0;
  }
  auto record = store->find(args.front());
  if (!record) {
    std::fprintf(stderr, "Could not find service \"%s\" in domain for port\n",
                 args.front().c_str());
    return kExitNotFound;
  }
  const bool alive =
      record->pid > 0 && processAlive(static_cast<pid_t>(record->pid), record->startTime);
  std::string listing = "{\n";
  if (!record->sessionType.empty()) {
    listing += "\t\"LimitLoadToSessionType\" = " + plistQuoted(record->sessionType) + ";\n";
  }
  listing += "\t\"Label\" = " + plistQuoted(record->label) + ";\n";
  listing += "\t\"OnDemand\" = true;\n";
  listing += "\t\"LastExitStatus\" = " + std::to_string(record->lastExitStatus) + ";\n";
  if (alive) listing += "\t\"PID\" = " + std::to_string(record->pid) + ";\n";
  listing += "\t\"Program\" = " + plistQuoted(record->program) + ";\n";
  listing += "};\n";
  std::fputs(listing.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "load") return load(args);
  if (command == "unload") return unload(args);
  if (command == "list") return list(args);
  return usage();
}
