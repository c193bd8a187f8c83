// Names and icons of usage keys: the "#" rules and the two lookup orders, on a workspace double.
#include <gtest/gtest.h>

#include <map>

#include "names/app_names_and_icons.h"

namespace quillmoss::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Name = std::optional<std::string>;

// Its "PNG" is its tag and the size drawn at, so tests see which icon was used; tag 0 fails.
struct TaggedImage : host::Image {
  explicit TaggedImage(std::uint8_t tag) : tag(tag) {}
  std::optional<Bytes> pngDrawnAtSize(int width, int height) const override {
    if (tag == 0) return std::nullopt;
    return Bytes{tag, static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(height)};
  }
  std::uint8_t tag;
};

// An image tag below 0 means none.
std::shared_ptr<const host::Image> image(int tag) {
  return tag < 0 ? nullptr : std::make_shared<TaggedImage>(static_cast<std::uint8_t>(tag));
}

struct WorkspaceDouble : host::Workspace {
  std::vector<host::RunningApplication> runningApplications() override {
    ++lookups;
    return running;
  }
  std::optional<host::InstalledApplication> urlForApplication(const std::string& id) override {
    ++lookups;
    if (!installed.count(id)) return std::nullopt;
    return host::InstalledApplication{"/Applications/" + id, installed[id].first};
  }
  std::shared_ptr<const host::Image> iconForFile(const std::string& path) override {
    const std::string id = path.substr(std::string("/Applications/").size());
    return installed.count(id) ? image(installed[id].second) : nullptr;
  }

  std::vector<host::RunningApplication> running = {{std::nullopt, "No Identifier", image(9)},
                                                   {"com.apple.Safari", "Safari", image(1)},
                                                   {"org.running.Only", "Running Only", image(3)},
                                                   {"org.running.Unnamed", std::nullopt, image(4)},
                                                   {"x", "X Running", image(6)},
                                                   {"a", "A Running", image(7)},
                                                   {"org.no.Icon", "No Icon", image(-1)},
                                                   {"org.bad.Icon", "Bad Icon", image(0)}};
  // Installed: the file's name and the icon tag.
  std::map<std::string, std::pair<std::string, int>> installed = {
      {"com.apple.Safari", {"Safari Browser", 2}},
      {"org.running.Unnamed", {"Unnamed", -1}},
      {"org.installed.Only", {"Installed Only", 5}}};
  int lookups = 0;
};

class NamesTest : public ::testing::Test {
 protected:
  WorkspaceDouble workspace;
  host::AppNamesAndIcons names{workspace};
};

TEST_F(NamesTest, NamesComeFromTheTextAfterTheSignOrTheRunningApplicationFirst) {
  // After the sign, the text is the name without looking anything up.
  const std::pair<const char*, const char*> signs[] = {
      {"com.apple.Safari#example.com", "example.com"},
      {"a#b#c", "b#c"},
      {"x#", ""},
      {"#x", "x"},
      {"#", ""}};
  for (const auto& [key, name] : signs) EXPECT_EQ(names.getAppName(key), Name(name)) << key;
  EXPECT_EQ(workspace.lookups, 0);
  // A running one without a name gives nil; one without an identifier never matches.
  const std::pair<const char*, Name> cases[] = {
      {"com.apple.Safari", "Safari"},        {"org.running.Only", "Running Only"},
      {"org.running.Unnamed", std::nullopt}, {"org.installed.Only", "Installed Only"},
      {"org.unknown", std::nullopt},         {"", std::nullopt},
      {"COM.APPLE.SAFARI", std::nullopt}};
  for (const auto& [key, name] : cases) EXPECT_EQ(names.getAppName(key), name) << key;
}

TEST_F(NamesTest, IconsComeUncachedFromTheInstalledApplicationFirstForTheFirstNonEmptyPiece) {
  // Keys by the tag of their icon, 0 for none: installed without one beats running with one.
  const std::pair<int, std::vector<const char*>> cases[] = {
      {2, {"com.apple.Safari", "com.apple.Safari#example.com"}},
      {3, {"org.running.Only"}},
      {5, {"org.installed.Only"}},
      {6, {"x#", "#x", "##x#a"}},
      {7, {"a#b#c"}},
      {0, {"org.running.Unnamed", "org.no.Icon", "org.bad.Icon", "org.unknown", "", "###"}}};
  for (const auto& [tag, keys] : cases) {
    for (const char* key : keys) {
      EXPECT_EQ(names.getAppIcon(key),
                tag ? std::optional(Bytes{static_cast<std::uint8_t>(tag), 32, 32}) : std::nullopt)
          << key;
    }
  }
  // Nothing is cached.
  EXPECT_EQ(names.getAppName("org.installed.Only"), "Installed Only");
  workspace.installed.erase("org.installed.Only");
  EXPECT_EQ(names.getAppName("org.installed.Only"), std::nullopt);
  workspace.running.push_back({"org.installed.Only", "Now Running", image(11)});
  EXPECT_EQ(names.getAppName("org.installed.Only"), "Now Running");
  EXPECT_EQ(names.getAppIcon("org.installed.Only"), (Bytes{11, 32, 32}));
}

}  // namespace
}  // namespace quillmoss::testing
