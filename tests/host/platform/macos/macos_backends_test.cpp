// The host's macOS adapters on the real system: icons drawn to exact pixel sizes, the process
// runner's output and its cap.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/macos/macos_platform.h"

namespace quillmoss::host {
namespace {

// Width and height from a PNG's header chunk (big-endian, after the signature and IHDR tag).
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::vector<std::uint8_t>& png) {
  if (png.size() < 24) return {0, 0};
  auto word = [&png](std::size_t at) {
    return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 |
           std::uint32_t{png[at + 2]} << 8 | std::uint32_t{png[at + 3]};
  };
  return {word(16), word(20)};
}

TEST(MacosWorkspace, IconsAreDrawnToExactlyTheRequestedPixelsWhateverTheScreenScale) {
  const auto icon = makeSharedWorkspace()->iconForFile("/System/Applications/Calculator.app");
  ASSERT_NE(icon, nullptr);
  for (const int side : {32, 17}) {
    const auto png = icon->pngDrawnAtSize(side, side);
    ASSERT_TRUE(png.has_value()) << side;
    EXPECT_EQ(pngSize(*png), std::make_pair(std::uint32_t(side), std::uint32_t(side)));
  }
  EXPECT_EQ(icon->pngDrawnAtSize(0, 32), std::nullopt);
}

TEST(MacosProcessRunner, ReturnsUtf8OutputAndNothingPastTheCap) {
  const auto runner = makeTaskProcessRunner();
  const std::pair<std::vector<std::string>, std::optional<std::string>> cases[] = {
      {{"printf", "%s|", "one arg with spaces", "two"}, "one arg with spaces|two|"},
      {{"printf", "\\377"}, std::nullopt},
      {{"head", "-c", "3000000", "/dev/zero"}, std::string(3000000, '\0')},
      {{"head", "-c", std::to_string((16 << 20) + 1), "/dev/zero"}, std::nullopt},
  };
  for (const auto& [args, output] : cases) EXPECT_EQ(runner->run(args), output) << args.back();
}

}  // namespace
}  // namespace quillmoss::host
