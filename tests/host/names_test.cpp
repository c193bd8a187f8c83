// Names and icons of usage keys: the "#" rules and the two lookup orders, on a workspace double.
#include <gtest/gtest.h>

#include <map>

#include "names/app_names_and_icons.h"

namespace quillmoss::testing {
namespace {

using host::AppNamesAndIcons;
using Bytes = std::vector<std::uint8_t>;

// Its "PNG" names the image and the size it was drawn at, so tests see which icon was used.
class TaggedImage : public host::Image {
 public:
  explicit TaggedImage(std::uint8_t tag, bool fails = false) : tag_(tag), fails_(fails) {}
  std::optional<Bytes> pngDrawnAtSize(int width, int height) const override {
    if (fails_) return std::nullopt;
    return Bytes{tag_, static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(height)};
  }

 private:
  std::uint8_t tag_;
  bool fails_;
};

class WorkspaceDouble : public host::Workspace {
 public:
  std::vector<host::RunningApplication> runningApplications() override {
    ++runningCalls;
    return running;
  }
  std::optional<host::InstalledApplication> urlForApplication(const std::string& id) override {
    ++installedCalls;
    auto found = installed.find(id);
    if (found == installed.end()) return std::nullopt;
    return found->second;
  }
  std::shared_ptr<const host::Image> iconForFile(const std::string& path) override {
    auto found = fileIcons.find(path);
    return found == fileIcons.end() ? nullptr : found->second;
  }

  void addRunning(std::optional<std::string> id, std::optional<std::string> name,
                  std::shared_ptr<const host::Image> icon) {
    running.push_back({std::move(id), std::move(name), std::move(icon)});
  }
  void addInstalled(const std::string& id, const std::string& fileName,
                    std::shared_ptr<const host::Image> icon) {
    const std::string location = "/Applications/" + fileName + ".app";
    installed[id] = {location, fileName};
    if (icon) fileIcons[location] = std::move(icon);
  }

  std::vector<host::RunningApplication> running;
  std::map<std::string, host::InstalledApplication> installed;
  std::map<std::string, std::shared_ptr<const host::Image>> fileIcons;
  int runningCalls = 0;
  int installedCalls = 0;
};

class NamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    workspace.addRunning(std::nullopt, "No Identifier", std::make_shared<TaggedImage>(9));
    workspace.addRunning("com.apple.Safari", "Safari", std::make_shared<TaggedImage>(1));
    workspace.addInstalled("com.apple.Safari", "Safari Browser", std::make_shared<TaggedImage>(2));
    workspace.addRunning("org.running.Only", "Running Only", std::make_shared<TaggedImage>(3));
    workspace.addRunning("org.running.Unnamed", std::nullopt, std::make_shared<TaggedImage>(4));
    workspace.addInstalled("org.running.Unnamed", "Unnamed", nullptr);
    workspace.addInstalled("org.installed.Only", "Installed Only",
                           std::make_shared<TaggedImage>(5));
    workspace.addRunning("x", "X Running", std::make_shared<TaggedImage>(6));
    workspace.addRunning("a", "A Running", std::make_shared<TaggedImage>(7));
    workspace.addRunning("org.no.Icon", "No Icon", nullptr);
    workspace.addRunning("org.bad.Icon", "Bad Icon", std::make_shared<TaggedImage>(8, true));
  }

  WorkspaceDouble workspace;
  AppNamesAndIcons names{workspace};
};

TEST(IconBaseIdentifier, TakesTheFirstNonEmptyPiece) {
  EXPECT_EQ(host::iconBaseIdentifier("com.apple.Safari#example.com"), "com.apple.Safari");
  EXPECT_EQ(host::iconBaseIdentifier("a#b#c"), "a");
  EXPECT_EQ(host::iconBaseIdentifier("x#"), "x");
  EXPECT_EQ(host::iconBaseIdentifier("#x"), "x");
  EXPECT_EQ(host::iconBaseIdentifier("##y#z"), "y");
  EXPECT_EQ(host::iconBaseIdentifier("###"), "");
  EXPECT_EQ(host::iconBaseIdentifier(""), "");
}

TEST_F(NamesTest, KeysWithTheSignNameTheTextAfterItWithoutLookingAnythingUp) {
  EXPECT_EQ(names.getAppName("com.apple.Safari#example.com"), "example.com");
  EXPECT_EQ(names.getAppName("a#b#c"), "b#c");
  EXPECT_EQ(names.getAppName("x#"), std::optional<std::string>(""));
  EXPECT_EQ(names.getAppName("#x"), "x");
  EXPECT_EQ(names.getAppName("#"), std::optional<std::string>(""));
  EXPECT_EQ(workspace.runningCalls + workspace.installedCalls, 0);
}

TEST_F(NamesTest, NamesComeFromTheRunningApplicationFirst) {
  EXPECT_EQ(names.getAppName("com.apple.Safari"), "Safari");
  EXPECT_EQ(names.getAppName("org.running.Only"), "Running Only");
  // A running application without a name decides: nil, not the installed file's name.
  EXPECT_EQ(names.getAppName("org.running.Unnamed"), std::nullopt);
  EXPECT_EQ(names.getAppName("org.installed.Only"), "Installed Only");
  EXPECT_EQ(names.getAppName("org.unknown"), std::nullopt);
  // The application without an identifier never matches, not even the empty key.
  EXPECT_EQ(names.getAppName(""), std::nullopt);
  EXPECT_EQ(names.getAppName("COM.APPLE.SAFARI"), std::nullopt);
}

TEST_F(NamesTest, IconsComeFromTheInstalledApplicationFirst) {
  EXPECT_EQ(names.getAppIcon("com.apple.Safari"), (Bytes{2, 32, 32}));
  EXPECT_EQ(names.getAppIcon("com.apple.Safari#example.com"), (Bytes{2, 32, 32}));
  EXPECT_EQ(names.getAppIcon("org.running.Only"), (Bytes{3, 32, 32}));
  EXPECT_EQ(names.getAppIcon("org.installed.Only"), (Bytes{5, 32, 32}));
  EXPECT_EQ(names.getAppIcon("a#b#c"), (Bytes{7, 32, 32}));
  EXPECT_EQ(names.getAppIcon("x#"), (Bytes{6, 32, 32}));
  EXPECT_EQ(names.getAppIcon("#x"), (Bytes{6, 32, 32}));
}

TEST_F(NamesTest, EveryMissingOrFailingIconIsNil) {
  // Installed without an icon: nil, even though the running application has one.
  EXPECT_EQ(names.getAppIcon("org.running.Unnamed"), std::nullopt);
  EXPECT_EQ(names.getAppIcon("org.no.Icon"), std::nullopt);
  EXPECT_EQ(names.getAppIcon("org.bad.Icon"), std::nullopt);
  EXPECT_EQ(names.getAppIcon("org.unknown"), std::nullopt);
  EXPECT_EQ(names.getAppIcon(""), std::nullopt);
  EXPECT_EQ(names.getAppIcon("##"), std::nullopt);
}

TEST_F(NamesTest, NothingIsCached) {
  EXPECT_EQ(names.getAppName("org.installed.Only"), "Installed Only");
  workspace.installed.erase("org.installed.Only");
  EXPECT_EQ(names.getAppName("org.installed.Only"), std::nullopt);
  workspace.addRunning("org.installed.Only", "Now Running", std::make_shared<TaggedImage>(11));
  EXPECT_EQ(names.getAppName("org.installed.Only"), "Now Running");
  EXPECT_EQ(names.getAppIcon("org.installed.Only"), (Bytes{11, 32, 32}));
  // Through the catalog port the usage bridge uses.
  host::AppCatalog& catalog = names;
  EXPECT_EQ(catalog.appName("k#domain.org"), "domain.org");
  EXPECT_EQ(catalog.appIconPng("org.running.Only"), (Bytes{3, 32, 32}));
}

}  // namespace
}  // namespace quillmoss::testing
