// Desktop-entry parsing and the index: IDs, shadowing between data folders, lookups.
#include "linux_desktop/desktop_entries.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

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

  DesktopEntry plain;
  ASSERT_TRUE(parseDesktopEntry(text, localeCandidates("C.UTF-8"), plain));
  EXPECT_EQ(plain.name, "Text Editor");
  DesktopEntry german;
  ASSERT_TRUE(parseDesktopEntry(text, localeCandidates("de_DE.UTF-8"), german));
  EXPECT_EQ(german.name, "Texteditor");

  // Hidden entries and files without the group are no entries.
  EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nName=A\nHidden=true\n", {}, entry));
  EXPECT_FALSE(parseDesktopEntry("Name=A\n[Other]\nName=B\n", {}, entry));
  EXPECT_FALSE(parseDesktopEntry("", {}, entry));
}

TEST(DesktopEntryParse, LocaleCandidatesFollowTheMatchingOrder) {
  EXPECT_EQ(localeCandidates("sr_RS.UTF-8@latin"),
            (std::vector<std::string>{"sr_RS@latin", "sr_RS", "sr@latin", "sr"}));
  EXPECT_EQ(localeCandidates("fr"), (std::vector<std::string>{"fr"}));
  EXPECT_TRUE(localeCandidates("POSIX").empty());
  EXPECT_TRUE(localeCandidates("").empty());
}

TEST(DesktopEntryIndex, IdsComeFromPathsAndEarlierFoldersWin) {
  quillmoss::testing::TempDir temp;
  const fs::path first = temp.path() / "first", second = temp.path() / "second";
  writeFile(first / "applications/org.example.Editor.desktop",
            "[Desktop Entry]\nName=Editor One\nStartupWMClass=editor\n");
  writeFile(second / "applications/org.example.Editor.desktop",
            "[Desktop Entry]\nName=Editor Two\n");
  writeFile(first / "applications/kde/konsole.desktop", "[Desktop Entry]\nName=Konsole\n");
  // Hidden in the user's folder removes the system's entry of the same ID.
  writeFile(first / "applications/mail.desktop", "[Desktop Entry]\nName=Mail\nHidden=true\n");
  writeFile(second / "applications/mail.desktop", "[Desktop Entry]\nName=Mail\n");
  writeFile(second / "applications/notes.txt", "[Desktop Entry]\nName=Not an entry\n");

  const DesktopEntryIndex index = DesktopEntryIndex::scan({first, second});
  ASSERT_NE(index.byId("org.example.Editor"), nullptr);
  EXPECT_EQ(index.byId("org.example.Editor")->name, "Editor One");
  EXPECT_EQ(index.byId("org.example.Editor")->path,
            first / "applications/org.example.Editor.desktop");
  EXPECT_NE(index.byId("kde-konsole"), nullptr);
  EXPECT_EQ(index.byId("mail"), nullptr);
  EXPECT_EQ(index.byId("org.example.editor"), nullptr);
  ASSERT_NE(index.byIdIgnoringCase("ORG.example.editor"), nullptr);
  EXPECT_EQ(index.byIdIgnoringCase("ORG.example.editor")->id, "org.example.Editor");
  EXPECT_EQ(index.byStartupWmClass("editor")->id, "org.example.Editor");
  EXPECT_EQ(index.byStartupWmClass("Editor"), nullptr);
  EXPECT_EQ(index.entries().size(), 2u);
}

TEST(DesktopEntryIndex, VisibleEntryWinsAClassSharedWithAHelperEntry) {
  quillmoss::testing::TempDir temp;
  // An editor and its URL handler both claim the class; the handler sorts first.
  writeFile(temp.path() / "applications/code-url-handler.desktop",
            "[Desktop Entry]\nName=Code URL\nStartupWMClass=Code\nNoDisplay=true\n");
  writeFile(temp.path() / "applications/code.desktop",
            "[Desktop Entry]\nName=Code\nStartupWMClass=Code\n");
  const DesktopEntryIndex index = DesktopEntryIndex::scan({temp.path()});
  ASSERT_NE(index.byStartupWmClass("Code"), nullptr);
  EXPECT_EQ(index.byStartupWmClass("Code")->id, "code");
}

TEST(DesktopEntryIndex, NoticesInstalledEntriesAndUsesTheEnvironment) {
  quillmoss::testing::TempDir temp;
  const fs::path data = temp.path() / "data";
  writeFile(data / "applications/a.desktop", "[Desktop Entry]\nName=A\n");
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  ::setenv("XDG_DATA_DIRS", (temp.path() / "none").c_str(), 1);
  const DesktopEntryIndex index = DesktopEntryIndex::scan();
  ::unsetenv("XDG_DATA_HOME");
  ::unsetenv("XDG_DATA_DIRS");
  ASSERT_NE(index.byId("a"), nullptr);
  EXPECT_FALSE(index.changedSinceScan());

  writeFile(data / "applications/b.desktop", "[Desktop Entry]\nName=B\n");
  // Coarse file-system clocks may not move within the test; set the folder's time explicitly.
  fs::last_write_time(data / "applications",
                      fs::last_write_time(data / "applications") + std::chrono::seconds(5));
  EXPECT_TRUE(index.changedSinceScan());
  EXPECT_NE(index.rescan().byId("b"), nullptr);
}

TEST(DesktopEntryIndex, DataDirsPutTheUserFolderFirstAndDropRelativeEntries) {
  ::setenv("HOME", "/home/someone", 1);
  ::unsetenv("XDG_DATA_HOME");
  ::setenv("XDG_DATA_DIRS", "relative:/opt/share::/usr/share", 1);
  EXPECT_EQ(xdgDataDirs(),
            (std::vector<fs::path>{"/home/someone/.local/share", "/opt/share", "/usr/share"}));
  ::unsetenv("XDG_DATA_DIRS");
  EXPECT_EQ(xdgDataDirs(), (std::vector<fs::path>{"/home/someone/.local/share", "/usr/local/share",
                                                  "/usr/share"}));
}

}  // namespace
}  // namespace quillmoss::desktop
