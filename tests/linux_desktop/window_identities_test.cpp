// Remembered identities follow an entry installed later and a window's changed facts.
#include <gtest/gtest.h>

#include "linux_desktop/x11_windows.h"
#include "support/temp_dir.h"

namespace quillmoss::desktop {
namespace {

TEST(WindowIdentities, FollowNewScansAndChangedFacts) {
  quillmoss::testing::TempDir temp;
  const auto data = temp.path() / "data";
  std::filesystem::create_directories(data / "applications");
  const DesktopEntryIndex before = DesktopEntryIndex::scan({data});
  quillmoss::testing::writeBytes(data / "applications/org.example.Calc.desktop",
                                 "[Desktop Entry]\nType=Application\nStartupWMClass=calc\n");
  const DesktopEntryIndex after = DesktopEntryIndex::scan({data});

  WindowIdentities identities;
  const WindowFacts calc{"calc", "Calc", "", std::nullopt};
  EXPECT_EQ(identities.of(1, calc, before), "Calc");
  EXPECT_EQ(identities.of(1, calc, after), "org.example.Calc");
  EXPECT_EQ(identities.of(1, WindowFacts{"other", "Other", "", std::nullopt}, after), "Other");
}

}  // namespace
}  // namespace quillmoss::desktop
