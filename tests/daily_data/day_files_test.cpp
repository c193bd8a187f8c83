// Day strings, file names and the data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "daily_data/daily_data.h"

namespace quillmoss::daily {
namespace {

// Sets an environment variable for one scope and puts the old value back afterwards.
struct ScopedEnv {
  ScopedEnv(const char* name, const char* value) : name(name) {
    if (const char* was = std::getenv(name)) old = was;
    set(value);
  }
  ~ScopedEnv() { set(old ? old->c_str() : nullptr); }
  void set(const char* value) const {
    (void)(value ? ::setenv(name, value, 1) : ::unsetenv(name));
    ::tzset();
  }
  const char* name;
  std::optional<std::string> old;
};

TEST(DayString, ExactlyTheTenCharacterPatternAndFileNames) {
  EXPECT_TRUE(isDayString("2026-12-06"));
  EXPECT_TRUE(isDayString("0000-00-00"));
  for (const char* bad : {"", "2026-12-6", "2026-12-066", "2026/12/06", "20261206xx", "2026-1a-06",
                          "../../etc/", "2026-12-06\n", " 2026-12-06", "２０２６-12-06"}) {
    EXPECT_FALSE(isDayString(bad)) << bad;
  }
  EXPECT_FALSE(isDayString(std::string_view("2026-12-0\0", 10)));
  EXPECT_EQ(fileName(FileKind::Usage, "2026-12-06"), "usage_2026-12-06.json");
  EXPECT_EQ(fileName(FileKind::Activity, "2026-12-06"), "activity_2026-12-06.json");
  EXPECT_EQ(fileName(FileKind::Segments, "2026-12-06"), "segments_2026-12-06.json");
}

TEST(DayString, LocalMidnightStartsTheDayAndAbsurdInstantsAreClamped) {
  {
    ScopedEnv tz("TZ", "XYZ-9");  // nine hours east of UTC
    EXPECT_EQ(localDayString(14.0 * 3600), "1970-01-01");
    EXPECT_EQ(localDayString(15.0 * 3600), "1970-01-02");
  }
  ScopedEnv tz("TZ", "UTC0");
  EXPECT_EQ(localDayString(86399.999), "1970-01-01");
  EXPECT_EQ(localDayString(86400.0), "1970-01-02");
  EXPECT_EQ(localDayString(-0.5), "1969-12-31");
  EXPECT_EQ(localDayString(1765000000.0), "2025-12-06");
  EXPECT_EQ(localDayString(1e300), "9999-12-31");
  EXPECT_EQ(localDayString(-1e300), "0001-01-01");
  for (double instant :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()}) {
    EXPECT_TRUE(isDayString(localDayString(instant))) << instant;
  }
}

TEST(DataFolder, XdgWhenAbsoluteElseHomeElseThePasswordDatabase) {
  ScopedEnv home("HOME", "/home/someone");
  for (const char* xdgValue : {static_cast<const char*>(nullptr), "", "relative/data"}) {
    ScopedEnv xdg("XDG_DATA_HOME", xdgValue);
    EXPECT_EQ(dataDirectory(),
              std::filesystem::path("/home/someone/.local/share/com.velbrook.quillmoss/usage"));
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(userDataFolder(), std::filesystem::path("/srv/data"));
    EXPECT_EQ(dataDirectory(), std::filesystem::path("/srv/data/com.velbrook.quillmoss/usage"));
  }
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  ScopedEnv noHome("HOME", nullptr);
  auto folder = userDataFolder();
  ASSERT_TRUE(folder);  // every test machine user has a passwd entry with a home
  EXPECT_TRUE(folder->is_absolute());
  EXPECT_EQ(folder->filename(), "share");
  EXPECT_EQ(dataDirectory(), *folder / "com.velbrook.quillmoss" / "usage");
}

}  // namespace
}  // namespace quillmoss::daily
