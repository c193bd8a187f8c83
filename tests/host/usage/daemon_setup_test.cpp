// "setup": copying the daemon only when the bundle's is newer, the agent file from the
// template, and the errors (the reload itself is the end-to-end test's).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <sys/stat.h>

#include <fstream>

#include "bridge_test_fixture.h"

namespace quillmoss::testing {
namespace {

using Kind = RecordedReply::Kind;
namespace fs = std::filesystem;

const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>Label</key><string>com.velbrook.quillmoss.tracker</string>"
    "<key>ProgramArguments</key><array><string>DAEMON_PATH_PLACEHOLDER</string></array>"
    "<key>RunAtLoad</key><true/></dict></plist>\n";

void setModificationTime(const fs::path& file, time_t seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class SetupTest : public BridgeTest {
 protected:
  SetupTest() {
    bundleDir = temp.path() / "quillmoss.app" / "Contents";
    fs::create_directories(bundleDir / "MacOS");
    fs::create_directories(bundleDir / "Resources");
    bundle.daemon = bundleDir / "MacOS" / "QuillmossTracker";
    bundle.agentTemplate = bundleDir / "Resources" / "com.velbrook.quillmoss.tracker.plist";
    writeDaemon("daemon v1");
    std::ofstream(*bundle.agentTemplate, std::ios::binary) << kTemplate;
  }

  void writeDaemon(const std::string& content, time_t seconds = 1700000000, long ns = 123456789) {
    std::ofstream(*bundle.daemon, std::ios::binary | std::ios::trunc) << content;
    ::chmod(bundle.daemon->c_str(), 0700);
    setModificationTime(*bundle.daemon, seconds, ns);
  }

  fs::path bundleDir;
};

TEST_F(SetupTest, TheDaemonIsCopiedOnlyWhenTheBundlesIsNewer) {
  auto reply = callAndSettle("setup");
  ASSERT_EQ(reply->kind, Kind::Success) << reply->message;
  EXPECT_EQ(reply->value, engine::EncodableValue(true));
  EXPECT_FALSE(fs::exists(paths.dataDir)) << "the data folder is the daemon's to create";
  // Mark the installed copy while keeping its time: a second copy would undo the mark.
  std::ofstream(paths.daemonDest, std::ios::binary | std::ios::trunc) << "installed";
  setModificationTime(paths.daemonDest, 1700000000, 123456789);
  ::chmod(paths.daemonDest.c_str(), 0700);
  fs::remove(agentFile());

  ASSERT_EQ(callAndSettle("setup")->kind, Kind::Success);
  EXPECT_EQ(readBytes(paths.daemonDest), "installed");
  EXPECT_EQ(fs::status(paths.daemonDest).permissions(), static_cast<fs::perms>(0700))
      << "a kept copy's permissions are not touched";
  EXPECT_TRUE(fs::exists(agentFile()));

  // An older bundle daemon leaves the copy; a newer one, even by a nanosecond, replaces it.
  writeDaemon("older daemon", 1600000000, 0);
  ASSERT_EQ(callAndSettle("setup")->kind, Kind::Success);
  EXPECT_EQ(readBytes(paths.daemonDest), "installed");
  writeDaemon("daemon v2", 1700000000, 123456790);
  ASSERT_EQ(callAndSettle("setup")->kind, Kind::Success);
  EXPECT_EQ(readBytes(paths.daemonDest), "daemon v2");
  EXPECT_EQ(fs::last_write_time(paths.daemonDest), fs::last_write_time(*bundle.daemon));
  EXPECT_EQ(fs::status(paths.daemonDest).permissions(), static_cast<fs::perms>(0755));
}

// Whatever sits at the install path is looked at, never through: a link (however new its
// target, or dangling) is replaced by the bundle's daemon, and so is a link planted at the
// temporary name, without a byte written through either.
TEST_F(SetupTest, ALinkAtTheInstallPathIsReplacedNeverFollowed) {
  const fs::path victim = temp.path() / "elsewhere" / "program";
  fs::create_directories(victim.parent_path());
  const fs::path temporary = paths.daemonDest.parent_path() / ".QuillmossTracker.tmp";
  const struct {
    const char* what;
    fs::path link;
    fs::path target;
  } cases[] = {
      {"link to a newer program", paths.daemonDest, victim},
      {"dangling link", paths.daemonDest, temp.path() / "nothing"},
      {"link at the temporary name", temporary, victim},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(victim, std::ios::binary | std::ios::trunc) << "someone else's";
    setModificationTime(victim, 1800000000, 0);  // Newer than the bundle's daemon.
    fs::remove(paths.daemonDest);
    fs::create_directories(c.link.parent_path());
    fs::create_symlink(c.target, c.link);

    auto reply = callAndSettle("setup");
    ASSERT_EQ(reply->kind, Kind::Success) << reply->message;
    EXPECT_FALSE(fs::is_symlink(paths.daemonDest));
    EXPECT_EQ(readBytes(paths.daemonDest), "daemon v1");
    EXPECT_EQ(readBytes(victim), "someone else's");
    fs::remove(temporary);
  }
}

// A folder at the install path is the user's: setup fails naming it and deletes nothing.
TEST_F(SetupTest, AFolderAtTheInstallPathFailsSetupAndIsKept) {
  fs::create_directories(paths.daemonDest);
  std::ofstream(paths.daemonDest / "kept.txt") << "mine";
  auto reply = callAndSettle("setup");
  EXPECT_EQ(reply->kind, Kind::Error);
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_NE(reply->message.find(paths.daemonDest.string()), std::string::npos) << reply->message;
  EXPECT_EQ(readBytes(paths.daemonDest / "kept.txt"), "mine");
  EXPECT_TRUE(runner.calls.empty());
}

TEST_F(SetupTest, MissingDaemonOrTemplateFailsWithItsMessage) {
  bundle.daemon.reset();
  auto reply = callAndSettle("setup");
  EXPECT_EQ(reply->kind, Kind::Error);
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_EQ(reply->message, "QuillmossTracker not found in bundle");
  EXPECT_TRUE(reply->details.isNull());
  EXPECT_FALSE(fs::exists(paths.appSupportDir));
  EXPECT_FALSE(fs::exists(paths.agentDir));

  // Without the template the daemon is still installed first.
  bundle.daemon = bundleDir / "MacOS" / "QuillmossTracker";
  bundle.agentTemplate.reset();
  reply = callAndSettle("setup");
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_EQ(reply->message, "LaunchAgent plist not in bundle");
  EXPECT_EQ(readBytes(paths.daemonDest), "daemon v1");
  EXPECT_TRUE(fs::is_directory(paths.agentDir));
  EXPECT_FALSE(fs::exists(agentFile()));
  EXPECT_TRUE(runner.calls.empty());
}

TEST_F(SetupTest, PlatformErrorsAndABadTemplateReachTheUiWithTheirOwnWording) {
  // A regular file where the Application Support folder should be.
  fs::create_directories(paths.appSupportDir.parent_path());
  std::ofstream(paths.appSupportDir) << "in the way";
  auto reply = callAndSettle("setup");
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_NE(reply->message.find(paths.appSupportDir.string()), std::string::npos) << reply->message;
  EXPECT_TRUE(runner.calls.empty());

  // A template that is not UTF-8.
  fs::remove(paths.appSupportDir);
  std::ofstream(*bundle.agentTemplate, std::ios::binary | std::ios::trunc) << "<plist>\xff</plist>";
  reply = callAndSettle("setup");
  EXPECT_EQ(reply->code, "SETUP_FAILED");
  EXPECT_NE(reply->message.find("UTF-8"), std::string::npos) << reply->message;
  EXPECT_FALSE(fs::exists(agentFile()));
}

// XML's special characters in the daemon's path: the written property list stays
// well-formed and names the path exactly.
TEST_F(SetupTest, PathsWithXmlSpecialCharactersAreEscaped) {
  paths.appSupportDir = temp.path() / "Tom & Jerry <data>" / "com.velbrook.quillmoss";
  paths.daemonDest = paths.appSupportDir / "QuillmossTracker";
  bridge = std::make_unique<host::UsageTrackerBridge>(services());
  ASSERT_EQ(callAndSettle("setup")->kind, Kind::Success);

  const std::string text = readBytes(agentFile());
  EXPECT_NE(text.find("Tom &amp; Jerry &lt;data&gt;"), std::string::npos) << text;
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  ASSERT_NE(doc, nullptr) << "the agent file is not well-formed XML";
  xmlChar* content = xmlNodeGetContent(xmlDocGetRootElement(doc));
  EXPECT_NE(std::string(reinterpret_cast<char*>(content)).find(paths.daemonDest.string()),
            std::string::npos);
  xmlFree(content);
  xmlFreeDoc(doc);
}

TEST_F(SetupTest, APathNoPropertyListCanCarryFailsInsteadOfWritingABrokenFile) {
  for (const char* folder : {"bell\x07"
                             "folder",
                             "latin1 \xe9t\xe9"}) {
    SCOPED_TRACE(folder);
    paths.appSupportDir = temp.path() / folder / "com.velbrook.quillmoss";
    paths.daemonDest = paths.appSupportDir / "QuillmossTracker";
    bridge = std::make_unique<host::UsageTrackerBridge>(services());
    auto reply = callAndSettle("setup");
    EXPECT_EQ(reply->code, "SETUP_FAILED");
    EXPECT_FALSE(fs::exists(agentFile()));
    EXPECT_TRUE(runner.calls.empty());
  }
}

}  // namespace
}  // namespace quillmoss::testing
