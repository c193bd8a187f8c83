// The active tab's domain, its URL host rules, and the tab sampler.
#include "browser_domains.h"

#include "accounting.h"
#include "callbacks.h"
#include "platform/linux/no_script_runner.h"
#include "tracker_fixture.h"

namespace quillmoss::tracker::testing {
namespace {

using BrowserDomainsTest = TrackerTest;

TEST_F(BrowserDomainsTest, DomainIsTheUrlHostWithOneLeadingWwwDotRemoved) {
  TrackerState& s = makeState();
  const std::string& script = s.kBrowserTabScripts.at(kSafari);
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"https://www.example.org/", "example.org"},
      {"https://WWW.example.org/", "WWW.example.org"},
      {"https://www2.example.org/", "www2.example.org"},
      {"https://www.www.example.org/", "www.example.org"},
      {"http://user:pw@www.example.org:8080/x", "example.org"},
      {"ftp://files.example.org/x", "files.example.org"},
      {"http://[::1]:8080/", "::1"},
      {"http://b%C3%BCcher.example/",
       "b\xC3\xBC"
       "cher.example"},
      {"file:///tmp/page.html", std::nullopt},
      {"about:blank", std::nullopt},
      {"example.org/path", std::nullopt},
      {"not a url", std::nullopt},
      {"", std::nullopt},
      {"http://", std::nullopt},
      // These would put a second "#" or bytes readers reject into a usage key.
      {"http://a%23b.example/", std::nullopt},
      {"http://a%00b.example/", std::nullopt},
      {"http://a%FFb.example/", std::nullopt},
      {"http://a%0Ab.example/", std::nullopt},
  };
  for (const auto& [url, domain] : cases) {
    scripts.outcomes[script] = FakeScriptRunner::url(url);
    EXPECT_EQ(browserActiveDomain(s, kSafari), domain) << url;
  }
}

TEST_F(BrowserDomainsTest, FailuresGiveNoDomainAndOnlyADenialStopsTheAsking) {
  TrackerState& s = makeState();
  const std::string& script = s.kBrowserTabScripts.at(kChrome);
  EXPECT_EQ(browserActiveDomain(s, kEditor), std::nullopt);
  EXPECT_TRUE(scripts.runs.empty());
  scripts.outcomes[script] = ScriptOutcome{true, false, std::nullopt, std::nullopt};  // no value
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);
  scripts.outcomes[script] = ScriptOutcome{};  // the script could not be made
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);
  // An error dictionary without a number does not stop the result from being used.
  ScriptOutcome errorWithoutNumber = FakeScriptRunner::url("https://example.org/");
  errorWithoutNumber.hasErrorInfo = true;
  scripts.outcomes[script] = errorWithoutNumber;
  EXPECT_EQ(browserActiveDomain(s, kChrome), "example.org");
  // Any error number but the denial is forgotten at once: the browser is asked again.
  scripts.outcomes[script] = FakeScriptRunner::error(-600);
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);
  EXPECT_EQ(browserActiveDomain(s, kChrome), std::nullopt);
  EXPECT_EQ(scripts.runs[script], 5);
  // Linux has no browser scripting: its runner's answer keeps the bare key, denies nothing.
  scripts.outcomes[script] = NoScriptRunner().run("anything");
  EXPECT_EQ(usageKey(s, std::string(kChrome)), kChrome);
  // A denial stops the asking of that browser until the next start, permission granted or not.
  scripts.outcomes[script] = FakeScriptRunner::error(-1743);
  scripts.runs.clear();
  EXPECT_EQ(usageKey(s, std::string(kChrome)), kChrome);
  scripts.outcomes[script] = FakeScriptRunner::url("https://example.org/");
  EXPECT_EQ(usageKey(s, std::string(kChrome)), kChrome);
  EXPECT_EQ(scripts.runs[script], 1);
  scripts.outcomes[s.kBrowserTabScripts.at(kSafari)] = scripts.outcomes[script];
  EXPECT_EQ(usageKey(s, std::string(kSafari)), std::string(kSafari) + "#example.org");
}

TEST_F(BrowserDomainsTest, TabChangeIsCreditedAtTheNextFiveSecondSample) {
  workspace.frontmost = kSafari;
  TrackerState& s = makeState();
  const std::string& script = s.kBrowserTabScripts.at(kSafari);
  scripts.outcomes[script] = FakeScriptRunner::url("https://a.example/");
  ASSERT_TRUE(startTracker(s));
  scheduleCallbacks(s);
  loop.advance(2);
  scripts.outcomes[script] = FakeScriptRunner::url("https://b.example/");
  loop.advance(28);  // The flush at 30 s credits what is timed.
  const std::string safari(kSafari);
  EXPECT_EQ(s.usageData,
            (daily::UsageMap{{safari + "#a.example", 5.0}, {safari + "#b.example", 25.0}}));
}

TEST_F(BrowserDomainsTest, SamplerAsksOnlyActiveBrowsersAndTimesANewKeyFromTheSample) {
  TrackerState& s = makeRunning();
  onTabTimer(s);                  // the editor is not a browser
  workspace.frontmost = kChrome;  // a browser, but the user is idle
  idle.idle = 300.0;
  onTabTimer(s);
  workspace.frontmost = std::nullopt;
  idle.idle = 0.0;
  onTabTimer(s);
  EXPECT_TRUE(scripts.runs.empty());
  // A key the sampler sets while nothing was timed is timed from that sample, not from before.
  clock.wall += 10;
  onAppActivated(s, std::string(kLoginWindow));
  clock.wall += 600;
  workspace.frontmost = kChrome;
  onTabTimer(s);
  clock.wall += 5;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData.at(kChrome), 5.0);
}

TEST_F(BrowserDomainsTest, ABrowserThatAnswersLaterTakesItsDomainWhenTheAnswerComes) {
  const std::string firefox = "firefox-esr";
  tabs.browsers = {firefox};
  TrackerState& s = makeRunning();
  s.tabAddresses = &tabs;
  const auto url = [](const char* address) { return TabAnswer{address, false}; };
  workspace.frontmost = firefox;
  onAppActivated(s, firefox);  // the domain takes the activation's time, not the question's
  clock.wall += 0.5;
  EXPECT_EQ(tabs.answer(url("https://www.a.example/")), firefox);
  clock.wall += 4.5;
  onTabTimer(s);  // a late answer is a missed sample; nothing changes
  tabs.answer(TabAnswer{std::nullopt, true});
  clock.wall += 5;
  onTabTimer(s);
  tabs.answer(url("http://b.example:8080/"));
  clock.wall += 5;
  onTabTimer(s);  // no page or no tree: the browser alone
  tabs.answer(TabAnswer{});
  clock.wall += 5;
  onTabTimer(s);  // an activation while the question is out makes its answer stale
  onAppActivated(s, std::string(kEditor));
  tabs.answer(url("https://c.example/"));
  idle.idle = 300;
  workspace.frontmost = firefox;
  onTabTimer(s);  // idle: not asked
  EXPECT_TRUE(tabs.asked.empty());
  clock.wall += 5;
  flushCurrentApp(s);
  EXPECT_EQ(s.usageData, (daily::UsageMap{{kEditor, 5.0},
                                          {firefox + "#a.example", 10.0},
                                          {firefox + "#b.example", 5.0},
                                          {firefox, 5.0}}));
  EXPECT_TRUE(scripts.runs.empty());
}

}  // namespace
}  // namespace quillmoss::tracker::testing
