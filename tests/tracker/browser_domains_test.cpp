// The active tab's domain, its URL host rules, and the tab sampler.
#include "browser_domains.h"

#include "accounting.h"
#include "callbacks.h"
#include "platform/linux/no_script_runner.h"
#include "tracker_fixture.h"
#include "url_host.h"

namespace quillmoss::tracker::testing {
namespace {

using BrowserDomainsTest = TrackerTest;

TEST(UrlHostTest, HostOnlyWithoutSchemePortUserOrPath) {
  EXPECT_EQ(urlHost("http://user:pw@www.example.org:8080/x"), "www.example.org");
  EXPECT_EQ(urlHost("https://example.org"), "example.org");
  EXPECT_EQ(urlHost("ftp://files.example.org/x"), "files.example.org");
  EXPECT_EQ(urlHost("http://[::1]:8080/"), "::1");
  EXPECT_EQ(urlHost("http://b%C3%BCcher.example/"),
            "b\xC3\xBC"
            "cher.example");
}

TEST(UrlHostTest, NoHostOrNotAUrlGivesNothing) {
  EXPECT_EQ(urlHost("file:///Users/me/notes.txt"), std::nullopt);
  EXPECT_EQ(urlHost("about:blank"), std::nullopt);
  EXPECT_EQ(urlHost("example.org/path"), std::nullopt);
  EXPECT_EQ(urlHost("not a url"), std::nullopt);
  EXPECT_EQ(urlHost(""), std::nullopt);
  EXPECT_EQ(urlHost("http://"), std::nullopt);
  // A host that would put a second "#" or bytes readers reject into a usage key.
  EXPECT_EQ(urlHost("http://a%23b.example/"), std::nullopt);
  EXPECT_EQ(urlHost("http://a%00b.example/"), std::nullopt);
  EXPECT_EQ(urlHost("http://a%FFb.example/"), std::nullopt);
  EXPECT_EQ(urlHost("http://a%0Ab.example/"), std::nullopt);
}

TEST_F(BrowserDomainsTest, LeadingWwwDotIsRemovedOnceAndExactly) {
  TrackerState& s = makeState();
  const std::string& script = s.kBrowserTabScripts.at(kSafari);
  const std::pair<const char*, const char*> cases[] = {
      {"https://www.example.org/", "example.org"},
      {"https://WWW.example.org/", "WWW.example.org"},
      {"https://www2.example.org/", "www2.example.org"},
      {"https://mail.example.org/", "mail.example.org"},
      {"https://www.www.example.org/", "www.example.org"},
      {"http://user:pw@www.example.org:8080/x", "example.org"},
      {"ftp://files.example.org/x", "files.example.org"},
  };
  for (const auto& [url, domain] : cases) {
    scripts.outcomes[script] = FakeScriptRunner::url(url);
    EXPECT_EQ(browserActiveDomain(s, kSafari), domain) << url;
  }
  scripts.outcomes[script] = FakeScriptRunner::url("file:///tmp/page.html");
  EXPECT_EQ(browserActiveDomain(s, kSafari), std::nullopt);
}

TEST_F(BrowserDomainsTest, FailuresGiveNoDomain) {
  TrackerState& s = makeState();
  const std::string& script = s.kBrowserTabScripts.at(kChrome);
  EXPECT_EQ(browserActiveDomain(s, kEditor), std::nullopt);
  EXPECT_EQ(scripts.totalRuns(), 0);

  ScriptOutcome noWindow;  // the script produced no value
  noWindow.created = true;
  scripts.outcomes[script] = noWindow;
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);

  ScriptOutcome notMade;
  scripts.outcomes[script] = notMade;
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);

  // An error dictionary without a number does not stop the result from being used.
  ScriptOutcome errorWithoutNumber = FakeScriptRunner::url("https://example.org/");
  errorWithoutNumber.hasErrorInfo = true;
  scripts.outcomes[script] = errorWithoutNumber;
  EXPECT_EQ(browserActiveDomain(s, kChrome), "example.org");

  // Any other error number is forgotten at once: the browser is asked again next time.
  scripts.outcomes[script] = FakeScriptRunner::error(-600);
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);
  EXPECT_EQ(scripts.runs[script], 5);
  EXPECT_TRUE(s.appleEventsDenied.empty());
}

TEST_F(BrowserDomainsTest, LinuxScriptRunnerGivesNoDomainAndNoDenial) {
  NoScriptRunner none;
  const ScriptOutcome outcome = none.run("anything");
  ASSERT_TRUE(outcome.errorNumber);
  EXPECT_NE(*outcome.errorNumber, kAppleEventsNotPermitted);
  TrackerState& s = makeState();
  scripts.outcomes[s.kBrowserTabScripts.at(kSafari)] = outcome;
  EXPECT_EQ(usageKey(s, std::string(kSafari)), kSafari);
  EXPECT_TRUE(s.appleEventsDenied.empty());
}

TEST_F(BrowserDomainsTest, DenialPersistsPerBrowserAndStopsScriptRuns) {
  TrackerState& s = makeState();
  const std::string& chrome = s.kBrowserTabScripts.at(kChrome);
  const std::string& safari = s.kBrowserTabScripts.at(kSafari);
  scripts.outcomes[chrome] = FakeScriptRunner::error(-1743);
  scripts.outcomes[safari] = FakeScriptRunner::url("https://example.org/");
  EXPECT_EQ(usageKey(s, std::string(kChrome)), kChrome);
  EXPECT_TRUE(s.appleEventsDenied.contains(kChrome));
  // Permission granted later makes no difference until the next start.
  scripts.outcomes[chrome] = FakeScriptRunner::url("https://example.org/");
  EXPECT_EQ(usageKey(s, std::string(kChrome)), kChrome);
  EXPECT_EQ(usageKey(s, std::string(kChrome)), kChrome);
  EXPECT_EQ(scripts.runs[chrome], 1);
  EXPECT_EQ(usageKey(s, std::string(kSafari)), std::string(kSafari) + "#example.org");
}

TEST_F(BrowserDomainsTest, TabChangeSplitsTimeAtTheSample) {
  TrackerState& s = makeRunning(std::nullopt);
  const std::string& script = s.kBrowserTabScripts.at(kSafari);
  scripts.outcomes[script] = FakeScriptRunner::url("https://a.example/");
  workspace.frontmost = kSafari;
  onAppActivated(s, std::string(kSafari));
  const std::string keyA = std::string(kSafari) + "#a.example";
  EXPECT_EQ(s.activeBundle, keyA);

  clock.wall += 5;
  onTabTimer(s);  // same domain: nothing happens
  EXPECT_TRUE(s.usageData.empty());
  EXPECT_TRUE(s.segmentSpans.empty());

  scripts.outcomes[script] = FakeScriptRunner::url("https://b.example/");
  clock.wall += 5;
  onTabTimer(s);
  EXPECT_EQ(s.activeBundle, std::string(kSafari) + "#b.example");
  EXPECT_EQ(s.usageData[keyA], 10.0);
  clock.wall += 5;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData[std::string(kSafari) + "#b.example"], 5.0);
  EXPECT_EQ(s.segmentSpans.size(), 2u);
}

TEST_F(BrowserDomainsTest, TabSamplerIgnoresIdleUsersAndOtherApplications) {
  TrackerState& s = makeRunning(kEditor);
  workspace.frontmost = kEditor;
  onTabTimer(s);
  EXPECT_EQ(scripts.totalRuns(), 0);
  workspace.frontmost = kChrome;
  idle.idle = 300.0;
  onTabTimer(s);
  EXPECT_EQ(scripts.totalRuns(), 0);
  EXPECT_EQ(s.activeBundle, kEditor);
  workspace.frontmost = std::nullopt;
  idle.idle = 0.0;
  onTabTimer(s);
  EXPECT_EQ(scripts.totalRuns(), 0);
}

// Our choice: a key the sampler sets while nothing was timed is timed from that sample, not
// from the older moment at which timing stopped.
TEST_F(BrowserDomainsTest, KeySetBySamplerFromNothingStartsTimingAtTheSample) {
  TrackerState& s = makeRunning(kEditor);
  clock.wall += 10;
  onAppActivated(s, std::string("com.apple.loginwindow"));
  clock.wall += 600;
  workspace.frontmost = kChrome;
  onTabTimer(s);
  EXPECT_EQ(s.activeBundle, kChrome);
  EXPECT_EQ(s.lastSwitch, clock.wall);
  clock.wall += 5;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData[kChrome], 5.0);
}

}  // namespace
}  // namespace quillmoss::tracker::testing
