// Today's report a click away: the page made by the helper, then opened; clicks meanwhile are
// dropped, an opener that stays holds clicks back only for its grace, a failed report opens
// nothing.
#include "platform/linux/today_report.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "core/fake/fake_event_loop.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quillmoss::testing {
namespace {

namespace fs = std::filesystem;

class WatchingLoop : public FakeEventLoop {
 public:
  void watchReadable(int fd, Callback callback) override { watchers[fd] = std::move(callback); }
  void unwatchReadable(int fd) override { watchers.erase(fd); }
  // Waits (a few seconds at most) for the next child to end and delivers it, as the real loop
  // would; false when none ended.
  bool deliverNext() {
    std::vector<pollfd> fds;
    for (const auto& watcher : watchers) fds.push_back({watcher.first, POLLIN, 0});
    if (fds.empty() || ::poll(fds.data(), fds.size(), 5000) <= 0) return false;
    for (const pollfd& fd : fds) {
      if (fd.revents != 0) {
        watchers.at(fd.fd)();
        return true;
      }
    }
    return false;
  }
  std::map<int, Callback> watchers;
};

class TodayReportTest : public ::testing::Test {
 protected:
  void script(const char* name, const std::string& body) {
    writeBytes(temp.path() / "bin" / name, "#!/bin/sh\n" + body + "\n");
    fs::permissions(temp.path() / "bin" / name, fs::perms::owner_all);
  }
  std::string log() { return readBytes(temp.path() / "log"); }

  TempDir temp;
  ScopedEnv path{"PATH", (temp.string() + "/bin:/usr/bin:/bin").c_str()};
  const fs::path page = temp.path() / "cache" / "com.velbrook.quillmoss" / "today.html";
  const std::string logFile = (temp.path() / "log").string();
  WatchingLoop loop;
  host::TodayReport report{loop, page};
};

TEST_F(TodayReportTest, TheHelperWritesThePageThenTheDesktopOpensItOneClickAtATime) {
  script("quillmoss-report", "echo \"report $*\" >> " + logFile + "; echo day > \"$2\"");
  script("xdg-open", "echo \"open $*\" >> " + logFile);
  report.open();
  report.open();  // while the page is made
  ASSERT_TRUE(loop.deliverNext() && loop.deliverNext());
  EXPECT_EQ(log(), "report --out " + page.string() + "\nopen " + page.string() + "\n");
  EXPECT_EQ(readBytes(page), "day\n");
  EXPECT_EQ(fs::status(page.parent_path()).permissions(), fs::perms::owner_all);
  EXPECT_FALSE(report.busy()) << "the opener ended";

  // An opener that stays (outside a desktop, xdg-open waits for the browser it started) holds
  // clicks back for its grace only.
  const fs::path release = temp.path() / "release";
  script("xdg-open", "echo \"open $*\" >> " + logFile + "; for i in $(seq 1000); do [ -e " +
                         release.string() + " ] && break; sleep 0.01; done");
  report.open();
  ASSERT_TRUE(loop.deliverNext());
  report.open();
  loop.advance(host::kOpenerGraceSeconds);
  report.open();
  ASSERT_TRUE(loop.deliverNext());
  writeBytes(release, "");
  ASSERT_TRUE(loop.deliverNext() && loop.deliverNext());
  const std::string lines = log();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 6) << lines;

  script("quillmoss-report", "echo \"report $*\" >> " + logFile + "; exit 2");
  report.open();
  ASSERT_TRUE(loop.deliverNext());
  EXPECT_TRUE(loop.watchers.empty()) << "a report that failed was opened";
  EXPECT_FALSE(report.busy());
}

}  // namespace
}  // namespace quillmoss::testing
