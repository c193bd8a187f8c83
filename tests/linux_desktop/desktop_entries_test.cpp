// Desktop-entry parsing and the index: IDs, shadowing between data folders, lookups.
#include "linux_desktop/desktop_entries.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;
using quillmoss::testing::ScopedEnv;

TEST(DesktopEntryParse, ReadsMainGroupOnlyWithEscapesAndLocalisedNameAndRejectsHidden) {
  DesktopEntry entry;
  const std::string text =
      "# comment\n[Desktop Entry]\nType=Application\nName=Text\\sEditor\nName[de]=Texteditor\n"
      "Name[de_AT]=Editor (AT)\nIcon = accessories-text-editor \nStartupWMClass=Gedit\n"
      "NoDisplay=true\n[Desktop Action new]\nName=Should not win\nStartupWMClass=Wrong\n";
  ASSERT_TRUE(parseDesktopEntry(text, localeCandidates("de_AT.UTF-8@euro"), entry));
  EXPECT_EQ(entry.name, "Editor (AT)");
  EXPECT_EQ(entry.icon, "accessories-text-editor");
  EXPECT_EQ(entry.startupWmClass, "Gedit");
  EXPECT_TRUE(entry.noDisplay);

  ASSERT_TRUE(parseDesktopEntry(text, localeCandidates("C.UTF-8"), entry));
  EXPECT_EQ(entry.name, "Text Editor");

  // Hidden entries and files without the group are no entries.
  EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nName=A\nHidden=true\n", {}, entry));
  EXPECT_FALSE(parseDesktopEntry("Name=A\n[Other]\nName=B\n", {}, entry));
  EXPECT_FALSE(parseDesktopEntry("", {}, entry));
}

TEST(DesktopEntryParse, ExecProgramIsTheFirstWordPastWrappers) {
  const std::pair<const char*, const char*> cases[] = {
      {"kcalc", "kcalc"},
      {"/usr/bin/gnome-calculator %U", "gnome-calculator"},
      {"\"/opt/My App/bin/my-app\" --new-window %f", "my-app"},
      {"env LANG=C QT_SCALE_FACTOR=2 featherpad %U", "featherpad"},
      {"/usr/bin/env -u GTK_THEME -i galculator", "galculator"},
      {"flatpak run --branch=stable --arch=x86_64 org.kde.kcalc", "org.kde.kcalc"},
      {"/usr/bin/flatpak run --command=kcalc org.kde.kcalc @@u %U @@", "kcalc"},
      {"env A=1 flatpak run --command=/app/bin/xterm org.x.XTerm", "xterm"},
      // An interpreter's script, and a shell's command, name the program.
      {"python3 -O /opt/tool/tool.py %F", "tool.py"},
      {"env WINEPREFIX=/w wine C:\\windows\\notepad.exe", "notepad.exe"},
      {"sh -c \"exec gpsprune --x\"", "gpsprune"},
      {"python3", "python3"},
      {"  ", ""},
      {"env A=1", ""},
  };
  for (const auto& [exec, program] : cases) EXPECT_EQ(execProgram(exec), program) << exec;
  // The Exec value is unescaped as a string first ("\\s" is a space inside the quotes).
  DesktopEntry entry;
  ASSERT_TRUE(
      parseDesktopEntry("[Desktop Entry]\nName=A\nExec=\"/opt/a\\sb/run me\" %u\n", {}, entry));
  EXPECT_EQ(entry.execProgram, "run me");
}

TEST(DesktopEntryParse, NamesFollowLanguageThenTheMessagesLocale) {
  const std::tuple<const char*, const char*, const char*, std::vector<std::string>> cases[] = {
      {"de:en", "", "en_US.UTF-8", {"de", "en"}},
      {"pt_BR:pt", "", "C", {"pt_BR", "pt"}},
      {"", "fr_CA.UTF-8", "en_US.UTF-8", {"fr_CA", "fr"}},
      {"", "", "de_AT.UTF-8", {"de_AT", "de"}},
      {"", "sr_RS.UTF-8@latin", "C", {"sr_RS@latin", "sr_RS", "sr@latin", "sr"}},
      {"", "", "fr", {"fr"}},
      {"", "", "C.UTF-8", {}},
      {"", "", "POSIX", {}},
  };
  const ScopedEnv unset("LC_MESSAGES", nullptr);
  for (const auto& [language, lcAll, lang, locales] : cases) {
    const ScopedEnv a("LANGUAGE", language), b("LC_ALL", lcAll), c("LANG", lang);
    EXPECT_EQ(nameLocales(), locales) << language << "|" << lcAll << "|" << lang;
  }
}

void writeEntry(const fs::path& path, const std::string& keys) {
  quillmoss::testing::writeBytes(path, "[Desktop Entry]\n" + keys);
}

TEST(DesktopEntryIndex, IdsComeFromPathsAndEarlierFoldersWin) {
  quillmoss::testing::TempDir temp;
  const fs::path first = temp.path() / "first/applications";
  const fs::path second = temp.path() / "second/applications";
  writeEntry(first / "org.example.Editor.desktop", "Name=Editor One\nStartupWMClass=editor\n");
  writeEntry(second / "org.example.Editor.desktop", "Name=Editor Two\n");
  writeEntry(first / "kde/konsole.desktop", "Name=Konsole\n");
  // Hidden in the user's folder removes the system's entry of the same ID.
  writeEntry(first / "mail.desktop", "Name=Mail\nHidden=true\n");
  writeEntry(second / "mail.desktop", "Name=Mail\n");
  writeEntry(second / "notes.txt", "Name=Not an entry\n");
  // An editor and its URL handler both claim a class; the handler sorts first.
  writeEntry(second / "code-url-handler.desktop", "StartupWMClass=Code\nNoDisplay=true\n");
  writeEntry(second / "code.desktop", "Name=Code\nStartupWMClass=Code\n");

  const DesktopEntryIndex index =
      DesktopEntryIndex::scan({first.parent_path(), second.parent_path()});
  ASSERT_NE(index.byId("org.example.Editor"), nullptr);
  EXPECT_EQ(index.byId("org.example.Editor")->name, "Editor One");
  EXPECT_NE(index.byId("kde-konsole"), nullptr);
  EXPECT_EQ(index.byId("mail"), nullptr);
  EXPECT_EQ(index.byId("notes"), nullptr);
  EXPECT_EQ(index.byId("org.example.editor"), nullptr);
  ASSERT_NE(index.byIdIgnoringCase("ORG.example.editor"), nullptr);
  EXPECT_EQ(index.byIdIgnoringCase("ORG.example.editor")->id, "org.example.Editor");
  EXPECT_EQ(index.byStartupWmClass("editor")->id, "org.example.Editor");
  EXPECT_EQ(index.byStartupWmClass("Editor"), nullptr);
  ASSERT_NE(index.byStartupWmClass("Code"), nullptr);
  EXPECT_EQ(index.byStartupWmClass("Code")->id, "code");
}

TEST(DesktopEntryIndex, EntriesSharingAProgramAreRankedNotTakenInFileOrder) {
  quillmoss::testing::TempDir temp;
  // Of each program's entries, the one expected sorts last.
  for (auto [id, keys] :
       {// A settings dialog, and a hidden entry, lose even when their names fit...
        std::pair{"a-settings", "Name=Tool\nExec=tool\nCategories=GTK;Settings;"},
        {"b-hidden", "Name=Tool\nExec=tool\nNoDisplay=true"},
        {"c", "Name=C\nExec=tool --new"},
        // ...then the one named like the program by ID, its last dotted part or Name...
        {"aa", "Name=Other\nExec=prog"},
        {"org.example.Prog", "Name=P\nExec=prog --x %U"},
        {"libreoffice-base", "Name=LibreOffice Base\nExec=libreoffice --base %U"},
        {"libreoffice-startcenter", "Name=LibreOffice\nExec=libreoffice %U"},
        // ...then the one passing the program nothing but field codes.
        {"x1", "Name=X1\nExec=edit --new-window"},
        {"x2", "Name=X2\nExec=edit %F"}}) {
    writeEntry(temp.path() / "applications" / (std::string(id) + ".desktop"),
               keys + std::string("\n"));
  }
  const DesktopEntryIndex index = DesktopEntryIndex::scan({temp.path()});
  for (auto [program, expected] : {std::pair{"tool", "c"},
                                   {"prog", "org.example.Prog"},
                                   {"libreoffice", "libreoffice-startcenter"},
                                   {"edit", "x2"}}) {
    ASSERT_NE(index.byExecProgram(program), nullptr) << program;
    EXPECT_EQ(index.byExecProgram(program)->id, expected) << program;
  }
}

TEST(DesktopEntryIndex, SeesEntriesInstalledInAnySubfolderWhileRunning) {
  quillmoss::testing::TempDir temp;
  const fs::path data = temp.path() / "data";
  writeEntry(data / "applications/a.desktop", "Name=A\n");
  writeEntry(data / "applications/kde/old.desktop", "Name=Old\n");
  const ScopedEnv home("XDG_DATA_HOME", data.c_str());
  const ScopedEnv dirs("XDG_DATA_DIRS", (temp.path() / "none").c_str());
  const DesktopEntryIndex index = DesktopEntryIndex::scan();
  ASSERT_NE(index.byId("a"), nullptr);
  // Folders changed just now may change again without their coarse time moving.
  EXPECT_TRUE(index.changedSinceScan());

  // Times an hour back, as if the entries had been installed long before.
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& item : fs::recursive_directory_iterator(data)) fs::last_write_time(item, past);
  const DesktopEntryIndex settled = index.rescan();
  EXPECT_FALSE(settled.changedSinceScan());
  writeEntry(data / "applications/kde/org.kde.kcalc.desktop", "Name=KCalc\nExec=kcalc\n");
  EXPECT_TRUE(settled.changedSinceScan());
  // A rescan reads only files that are new or not as they were: one rewritten in place with its
  // size and time kept still counts as read, one replaced (a new file under the name) does not.
  writeEntry(data / "applications/a.desktop", "Name=B\n");
  fs::last_write_time(data / "applications/a.desktop", past);
  writeEntry(data / "applications/kde/new.desktop", "Name=New\n");
  fs::rename(data / "applications/kde/new.desktop", data / "applications/kde/old.desktop");
  const DesktopEntryIndex changed = settled.rescan();
  EXPECT_NE(changed.byId("kde-org.kde.kcalc"), nullptr);
  EXPECT_EQ(changed.byId("a")->name, "A");
  EXPECT_EQ(changed.byId("kde-old")->name, "New");
}

TEST(DesktopEntryIndex, DataDirsPutTheUserFolderFirstAndDropRelativeEntries) {
  const ScopedEnv home("HOME", "/home/someone"), dataHome("XDG_DATA_HOME", nullptr);
  ScopedEnv dirs("XDG_DATA_DIRS", "relative:/opt/share::/usr/share");
  EXPECT_EQ(xdgDataDirs(),
            (std::vector<fs::path>{"/home/someone/.local/share", "/opt/share", "/usr/share"}));
  dirs.set(nullptr);
  EXPECT_EQ(xdgDataDirs(), (std::vector<fs::path>{"/home/someone/.local/share", "/usr/local/share",
                                                  "/usr/share"}));
}

}  // namespace
}  // namespace quillmoss::desktop
