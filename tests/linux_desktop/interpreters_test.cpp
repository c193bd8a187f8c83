// Which script an interpreter's command line runs, in a process and up its launchers.
#include "linux_desktop/interpreters.h"

#include <gtest/gtest.h>

#include "linux_desktop/process_facts.h"
#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

TEST(Interpreters, ScriptIsTheFirstWordNoOptionClaims) {
  const std::pair<Words, std::optional<std::string>> cases[] = {
      {{"/usr/bin/python3.11", "/usr/bin/idle-python3.11", "-n"}, "idle-python3.11"},
      {{"python3", "-u", "-W", "ignore", "-X", "dev", "/home/u/timer.py"}, "timer.py"},
      {{"python3", "-m", "idlelib"}, "idlelib"},
      {{"python3", "-c", "import tk"}, std::nullopt},
      {{"python3"}, std::nullopt},
      {{"java", "-Dx=1", "-cp", "a.jar:b.jar", "-jar", "/usr/share/gpsprune/gpsprune.jar"},
       "gpsprune.jar"},
      {{"java", "-cp", "/usr/share/java/app.jar", "@opts", "org.example.Main", "arg"},
       "org.example.Main"},
      {{"java", "--module-path", "mods", "-m", "app/org.example.Main"}, "org.example.Main"},
      {{"/bin/sh", "/usr/bin/gpsprune", "track.gpx"}, "gpsprune"},
      {{"sh", "-c", "exec foo"}, std::nullopt},
      {{"node", "--require", "ts-node/register", "--", "app.js"}, "app.js"},
      {{"perl", "-w", "-e", "print 1"}, std::nullopt},
      {{"C:\\Program Files\\Foo\\Foo.EXE", "/s"}, "Foo.EXE"},
      {{"wine", "C:\\windows\\notepad.exe"}, "notepad.exe"},
      {{"kcalc", "file"}, std::nullopt},
  };
  for (const auto& [argv, script] : cases) EXPECT_EQ(scriptOf(argv), script) << argv[0];
  EXPECT_TRUE(isInterpreter("/usr/bin/pypy3") && isInterpreter("wine64-preloader") &&
              isInterpreter("mono-sgen") && isInterpreter("gjs-console"));
  EXPECT_FALSE(isInterpreter("javac") || isInterpreter("pythonista") || isInterpreter("x264"));
  EXPECT_EQ(withoutScriptEnding("gpsprune.jar"), "gpsprune");
  EXPECT_EQ(withoutScriptEnding("Foo.EXE"), "Foo");
  EXPECT_EQ(withoutScriptEnding(".py"), ".py");
  EXPECT_EQ(withoutScriptEnding("org.example.Main"), "org.example.Main");
}

TEST(ProcessFacts, ScriptsAreFoundUpTheInterpretersThatStartedIt) {
  quillmoss::testing::TempDir temp;
  const fs::path proc = temp.path();
  // 10: java started by the shell script 11, itself started by bash 12 running code (-c), under
  // the session 13. 20: a renamed python (exec -a).
  const std::tuple<int, const char*, Words, int> processes[] = {
      {10, "/usr/lib/jvm/bin/java", {"java", "-jar", "/opt/app.jar"}, 11},
      {11, "/usr/bin/dash", {"/bin/sh", "/usr/bin/app"}, 12},
      {12, "/usr/bin/bash", {"bash", "-c", "app"}, 13},
      {13, "/usr/bin/sway", {"sway"}, 1},
      {20, "/usr/bin/python3.11", {"myapp", "/opt/my/main.py"}, 1},
  };
  for (const auto& [pid, exe, argv, ppid] : processes) {
    const fs::path dir = proc / std::to_string(pid);
    fs::create_directories(dir);
    fs::create_symlink(exe, dir / "exe");
    std::string cmdline;
    for (const std::string& word : argv) cmdline.append(word).push_back('\0');
    quillmoss::testing::writeBytes(dir / "cmdline", cmdline);
    quillmoss::testing::writeBytes(
        dir / "stat", std::to_string(pid) + " (a (b) c) S " + std::to_string(ppid) + " 1 1\n");
  }
  const std::tuple<int, std::optional<std::string>, Words> cases[] = {
      {10, "java", {"app.jar", "app"}},
      {20, "python3.11", {"main.py"}},
  };
  for (const auto& [pid, executable, scripts] : cases) {
    const ProcessFacts facts = readProcessFacts(proc, pid);
    EXPECT_EQ(facts.executable, executable) << pid;
    EXPECT_EQ(facts.scripts, scripts) << pid;
  }
}

}  // namespace
}  // namespace quillmoss::desktop
