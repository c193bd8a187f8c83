// "setup": the daemon copied when the bundle's is newer, the agent file, and the errors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <sys/stat.h>

#include <functional>

#include "bridge_test_fixture.h"

namespace quillmoss::testing {
namespace {

using Kind = engine::MethodReply::Kind;
namespace fs = std::filesystem;

const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>Label</key><string>com.velbrook.quillmoss.tracker</string>"
    "<key>ProgramArguments</key><array><string>DAEMON_PATH_PLACEHOLDER</string></array>"
    "<key>RunAtLoad</key><true/></dict></plist>\n";

// Writes the file (mode 700) with this modification time.
void writeFile(const fs::path& file, const std::string& content, time_t seconds = 1700000000,
               long nanoseconds = 123456789) {
  ASSERT_TRUE(writeBytes(file, content));
  ::chmod(file.c_str(), 0700);
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class SetupTest : public BridgeTest {
 public:
  SetupTest() {
    bundle->daemon = temp.path() / "bundle" / "MacOS" / "QuillmossTracker";
    bundle->agentTemplate = temp.path() / "bundle" / "com.velbrook.quillmoss.tracker.plist";
    writeFile(*bundle->daemon, "daemon v1");
    writeBytes(*bundle->agentTemplate, kTemplate);
  }
  void installUnder(const fs::path& folder) {
    paths.appSupportDir = temp.path() / folder / "com.velbrook.quillmoss";
    paths.daemonDest = paths.appSupportDir / "QuillmossTracker";
    rebuild();
  }
  void TestBody() override {}  // Also made directly, one per failure case.
};

// Under a path with XML's special characters: the agent file stays well-formed and names it.
TEST_F(SetupTest, TheDaemonIsCopiedOnlyWhenTheBundlesIsNewerAndTheAgentFileNamesIt) {
  installUnder("Tom & Jerry <data>");
  ASSERT_EQ(callAndSettle("setup").value, engine::EncodableValue(true));
  const std::string text = readBytes(agentFile);
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  ASSERT_NE(doc, nullptr) << "the agent file is not well-formed XML";
  xmlChar* content = xmlNodeGetContent(xmlDocGetRootElement(doc));
  EXPECT_NE(std::string(reinterpret_cast<char*>(content)).find(paths.daemonDest.string()),
            std::string::npos);
  xmlFree(content);
  xmlFreeDoc(doc);
  EXPECT_FALSE(fs::exists(paths.dataDir)) << "the data folder is the daemon's to create";
  // Mark the installed copy while keeping its time: a second copy would undo the mark.
  writeFile(paths.daemonDest, "installed");
  fs::remove(agentFile);

  ASSERT_EQ(callAndSettle("setup").kind, Kind::kSuccess);
  EXPECT_EQ(readBytes(paths.daemonDest), "installed");
  EXPECT_EQ(fs::status(paths.daemonDest).permissions(), fs::perms(0700));  // Untouched.
  EXPECT_TRUE(fs::exists(agentFile));

  // An older bundle daemon leaves the copy; a newer one, even by a nanosecond, replaces it.
  writeFile(*bundle->daemon, "older daemon", 1600000000, 0);
  ASSERT_EQ(callAndSettle("setup").kind, Kind::kSuccess);
  EXPECT_EQ(readBytes(paths.daemonDest), "installed");
  writeFile(*bundle->daemon, "daemon v2", 1700000000, 123456790);
  ASSERT_EQ(callAndSettle("setup").kind, Kind::kSuccess);
  EXPECT_EQ(readBytes(paths.daemonDest), "daemon v2");
  EXPECT_EQ(fs::last_write_time(paths.daemonDest), fs::last_write_time(*bundle->daemon));
  EXPECT_EQ(fs::status(paths.daemonDest).permissions(), fs::perms(0755));
}

// A link at the install or the temporary path is replaced, never written through.
TEST_F(SetupTest, ALinkAtTheInstallPathIsReplacedNeverFollowed) {
  const fs::path victim = temp.path() / "elsewhere" / "program";
  const fs::path temporary = paths.daemonDest.parent_path() / ".QuillmossTracker.tmp";
  // A link to a newer program, a dangling one, and one at the temporary name.
  const std::pair<fs::path, fs::path> links[] = {
      {paths.daemonDest, victim}, {paths.daemonDest, temp.path() / "nothing"}, {temporary, victim}};
  for (const auto& [link, target] : links) {
    SCOPED_TRACE(link.string() + " -> " + target.string());
    writeFile(victim, "someone else's", 1800000000, 0);  // Newer than the bundle's daemon.
    fs::remove(paths.daemonDest);
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);

    ASSERT_EQ(callAndSettle("setup").kind, Kind::kSuccess);
    EXPECT_FALSE(fs::is_symlink(paths.daemonDest));
    EXPECT_EQ(readBytes(paths.daemonDest), "daemon v1");
    EXPECT_EQ(readBytes(victim), "someone else's");
    fs::remove(temporary);
  }
}

// Each failure has its own wording, and neither writes the agent file nor runs launchctl.
struct Failure {
  const char* what;
  std::function<void(SetupTest&)> arrange;
  const char* wording;                                        // What the message contains.
  std::function<void(SetupTest&)> check = [](SetupTest&) {};  // What else holds afterwards.
};

const Failure kFailures[] = {
    {"no daemon in the bundle", [](SetupTest& t) { t.bundle->daemon.reset(); },
     "QuillmossTracker not found in bundle",
     [](SetupTest& t) {
       EXPECT_FALSE(fs::exists(t.paths.appSupportDir));
       EXPECT_FALSE(fs::exists(t.paths.agentDir));
     }},
    {"no template: the daemon is still installed first",
     [](SetupTest& t) { t.bundle->agentTemplate.reset(); }, "LaunchAgent plist not in bundle",
     [](SetupTest& t) {
       EXPECT_EQ(readBytes(t.paths.daemonDest), "daemon v1");
       EXPECT_TRUE(fs::is_directory(t.paths.agentDir));
     }},
    {"a folder at the install path is the user's and kept",
     [](SetupTest& t) { writeBytes(t.paths.daemonDest / "kept.txt", "mine"); },
     "/support/QuillmossTracker\" is a folder",
     [](SetupTest& t) { EXPECT_EQ(readBytes(t.paths.daemonDest / "kept.txt"), "mine"); }},
    {"a file where the support folder goes",
     [](SetupTest& t) { writeBytes(t.paths.appSupportDir, "in the way"); }, "/support\""},
    {"a template that is not UTF-8",
     [](SetupTest& t) { writeBytes(*t.bundle->agentTemplate, "<plist>\xff</plist>"); }, "UTF-8"},
    // Paths no property list can carry fail instead of writing a broken file.
    {"a control character in the path", [](SetupTest& t) { t.installUnder("bell\x07"); }, ""},
    {"Latin-1 in the path", [](SetupTest& t) { t.installUnder("latin1 \xe9t\xe9"); }, ""},
};

TEST(SetupFailure, AnswersTheReasonAndLeavesNoAgentFile) {
  for (const Failure& failure : kFailures) {
    SCOPED_TRACE(failure.what);
    SetupTest t;
    failure.arrange(t);
    auto reply = t.callAndSettle("setup");
    EXPECT_EQ(reply.code, "SETUP_FAILED");
    EXPECT_NE(reply.message.value_or("").find(failure.wording), std::string::npos);
    EXPECT_TRUE(reply.details.isNull());
    EXPECT_FALSE(fs::exists(t.agentFile));
    EXPECT_TRUE(t.runner->calls.empty());
    failure.check(t);
  }
}

}  // namespace
}  // namespace quillmoss::testing
