// The launchd stand-in as the host uses it: load, list and unload of a real job, and failures.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <chrono>
#include <regex>

#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;
const char kLabel[] = "com.velbrook.quillmoss.tracker";

// True while the process exists and is not a zombie.
bool running(long pid) {
  const std::string stat = readBytes("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(") ");
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

class LaunchctlTest : public ::testing::Test {
 protected:
  Outcome launchctl(const std::string& args) {
    const fs::path out = temp.path() / "out", err = temp.path() / "err";
    // Registrations for the next login go to a private config folder, and "systemctl" is ours.
    const std::string command = "env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR='" +
                                runtime.string() + "' XDG_CONFIG_HOME='" + config.string() +
                                "' PATH='" + bin.string() + ":/usr/bin:/bin' '" QM_LAUNCHCTL "' " +
                                args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(out), readBytes(err)};
  }
  Outcome load(const fs::path& plist) { return launchctl("load -w '" + plist.string() + "'"); }
  Outcome unload(const fs::path& plist) { return launchctl("unload '" + plist.string() + "'"); }
  Outcome list() { return launchctl(std::string("list ") + kLabel); }

  fs::path writePlist(const std::string& programArguments, bool runAtLoad = true,
                      const std::string& label = kLabel) {
    // A folder name that needs quoting wherever a login runs the job again.
    const fs::path file = temp.path() / "My \"Agents\" $HOME 100%" / "job.plist";
    writeBytes(file,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
               "\t<key>Label</key>\n\t<string>" +
                   label + "</string>\n\t<key>ProgramArguments</key>\n\t<array>" +
                   programArguments + "</array>\n\t<key>RunAtLoad</key>\n\t<" +
                   (runAtLoad ? "true" : "false") + "/>\n</dict>\n</plist>\n");
    return file;
  }

  // The listed pid, or 0 when the listing has none.
  static long listedPid(const std::string& listing) {
    std::smatch match;
    static const std::regex pidLine("\t\"PID\" = ([0-9]+);\n");
    return std::regex_search(listing, match, pidLine) ? std::stol(match[1]) : 0;
  }

  void TearDown() override {
    if (started > 0 && running(started)) ::kill(static_cast<pid_t>(started), SIGKILL);
  }

  quillmoss::testing::TempDir temp;
  fs::path runtime = [this] {
    fs::path folder = temp.path() / "runtime";
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    return folder;
  }();
  fs::path config = temp.path() / "config";
  fs::path bin = [this] {
    const fs::path folder = temp.path() / "bin", reloads = temp.path() / "reloads";
    writeBytes(folder / "systemctl", "#!/bin/sh\necho \"$*\" >> '" + reloads.string() + "'\n");
    fs::permissions(folder / "systemctl", fs::perms::owner_all);
    return folder;
  }();
  long started = 0;  // the job a test left running, if any
};

TEST_F(LaunchctlTest, LoadStartsTheJobDetachedListShowsItAndUnloadStopsIt) {
  const fs::path plist = writePlist("<string>/bin/sleep</string><string>300</string>");
  // The host's sequence on a fresh install: unload (fails harmlessly), then load.
  EXPECT_NE(unload(plist).status, 0);
  Outcome loaded = load(plist);
  ASSERT_EQ(loaded.status, 0) << loaded.err;

  Outcome listing = list();
  ASSERT_EQ(listing.status, 0);
  const long pid = listedPid(listing.out);
  ASSERT_GT(pid, 0) << listing.out;
  started = pid;
  EXPECT_TRUE(running(pid));
  EXPECT_NE(::getsid(static_cast<pid_t>(pid)), ::getsid(0)) << "the job has a session of its own";

  EXPECT_NE(load(plist).status, 0) << "already loaded";

  // Unload finds the job by its path even when the file is gone.
  fs::remove(plist);
  Outcome unloaded = unload(plist);
  EXPECT_EQ(unloaded.status, 0) << unloaded.err;
  EXPECT_FALSE(running(pid)) << "unload returns once the job's process has ended";
  EXPECT_EQ(list().status, 113);
  EXPECT_EQ(list().out, "");
}

TEST_F(LaunchctlTest, JobsWithoutAProcessAreListedWithoutPid) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"ended", "<string>/bin/true</string>", true},
      {"cannot start", "<string>/nonexistent/QuillmossTracker</string>", true},
      {"not run at load", "<string>/bin/sleep</string><string>300</string>", false},
  };
  for (const auto& [what, arguments, runAtLoad] : cases) {
    SCOPED_TRACE(what);
    const fs::path plist = writePlist(arguments, runAtLoad);
    ASSERT_EQ(load(plist).status, 0);
    Outcome listing;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      listing = list();
    } while (listedPid(listing.out) != 0 && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(listing.status, 0);
    EXPECT_EQ(listedPid(listing.out), 0) << listing.out;
    if (what == "cannot start") {
      EXPECT_EQ(listing.out.find("\"LastExitStatus\" = 0;"), std::string::npos) << listing.out;
    }
    EXPECT_EQ(unload(plist).status, 0);
  }
}

TEST_F(LaunchctlTest, BrokenPropertyListsAreRejected) {
  const fs::path broken = temp.path() / "broken.plist";
  writeBytes(broken, "<plist><dict><key>Label</key>");
  EXPECT_NE(load(broken).status, 0);
  EXPECT_NE(load(writePlist("<string>/bin/true</string>", true, "")).status, 0);
  EXPECT_NE(load(temp.path() / "missing.plist").status, 0);
  EXPECT_EQ(launchctl("frobnicate").status, 64);
}

// A user manager as launchctl sees one: its private socket in the runtime folder.
void fakeUserManager(const fs::path& runtime) {
  fs::create_directories(runtime / "systemd");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = (runtime / "systemd" / "private").string();
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

// The entry, and with a user manager the unit and its link, written at load through links
// planted at their paths (never followed), kept by the host's reload, gone after "unload -w".
TEST_F(LaunchctlTest, ARunAtLoadJobIsLoadedAgainAtTheNextLoginUntilUnloadW) {
  const fs::path entry = config / "autostart" / (std::string(kLabel) + ".desktop");
  const fs::path unit = config / "systemd/user" / (std::string(kLabel) + ".service");
  const fs::path wants = config / "systemd/user/graphical-session.target.wants" / unit.filename();
  const fs::path victim = temp.path() / "victim", reloads = temp.path() / "reloads";
  const std::string dir = (temp.path() / "My ").string(), self = QM_LAUNCHCTL;
  writeBytes(victim, "precious");
  for (const bool manager : {false, true}) {
    SCOPED_TRACE(manager ? "systemd user manager" : "no user manager");
    EXPECT_EQ(load(writePlist("<string>/bin/true</string>", false)).status, 0);
    EXPECT_FALSE(fs::exists(entry)) << "not run at load: not at login either";
    EXPECT_EQ(unload(writePlist("<string>/bin/true</string>")).status, 0);
    if (manager) fakeUserManager(runtime);
    for (const fs::path& path : {entry, unit, wants}) {
      fs::create_directories(path.parent_path());
      fs::create_symlink(victim, path);
    }

    const fs::path plist = writePlist("<string>/bin/true</string>");
    ASSERT_EQ(load(plist).status, 0);
    const std::string text = readBytes(entry);
    EXPECT_NE(text.find("\nExec=\"" + self + "\" load -w \"" + dir +
                        "\\\\\"Agents\\\\\" \\\\$HOME 100%%/job.plist\"\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("X-systemd-skip=true\n") != std::string::npos, manager) << text;
    EXPECT_EQ(!fs::is_symlink(unit) && fs::exists(unit), manager);
    if (manager) {
      EXPECT_NE(readBytes(unit).find("\nExecStart=-\"" + self + "\" load -w \"" + dir +
                                     "\\\"Agents\\\" $$HOME 100%%/job.plist\"\n"),
                std::string::npos)
          << readBytes(unit);
      EXPECT_EQ(fs::read_symlink(wants), "../" + unit.filename().string());
    }
    // The host's reload (a plain unload, then a load) changes nothing on disk.
    EXPECT_EQ(unload(plist).status, 0);
    EXPECT_TRUE(fs::exists(entry));
    ASSERT_EQ(load(plist).status, 0);
    EXPECT_EQ(readBytes(reloads), manager ? "--user --no-ask-password daemon-reload\n" : "");

    fs::remove(entry);
    fs::create_symlink(victim, entry);
    EXPECT_EQ(launchctl("unload -w '" + plist.string() + "'").status, 0);
    for (const fs::path& gone : {entry, unit, wants}) EXPECT_FALSE(fs::is_symlink(gone)) << gone;
    EXPECT_FALSE(fs::exists(entry) || fs::exists(unit));
    EXPECT_EQ(readBytes(reloads).size(), manager ? 2 * 39u : 0u);
    EXPECT_EQ(readBytes(victim), "precious");
    fs::remove(unit);
  }
}

// The record of a login that ended, its pid now another process's (this test's): never taken
// for the job, whether listed, unloaded or loaded afresh as at a new login.
TEST_F(LaunchctlTest, AJobWhosePidWasReusedIsNeverTakenForItsProcess) {
  const fs::path plist = writePlist("<string>/bin/sleep</string><string>300</string>");
  const auto leftOver = [&] {
    writeBytes(runtime / "quillmoss-launchd" / (std::string(kLabel) + ".job"),
               std::string("label=") + kLabel + "\nplist=" + plist.string() +
                   "\nprogram=/bin/sleep\npid=" + std::to_string(::getpid()) +
                   "\nstart=1\nexit=0\n");
    fs::permissions(runtime / "quillmoss-launchd", fs::perms::owner_all);
  };
  leftOver();
  EXPECT_EQ(listedPid(list().out), 0);
  EXPECT_EQ(unload(plist).status, 0);  // and we are still here
  EXPECT_EQ(list().status, 113);
  leftOver();
  Outcome loaded = load(plist);
  EXPECT_EQ(loaded.status, 0) << loaded.err;
  started = listedPid(list().out);
  EXPECT_GT(started, 0);
  EXPECT_NE(started, ::getpid());
  EXPECT_NE(load(plist).status, 0) << "its process runs: already loaded";
  EXPECT_EQ(unload(plist).status, 0);
}

}  // namespace
}  // namespace quillmoss::testing
