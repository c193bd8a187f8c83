// Images on Linux through gdk-pixbuf: an image file (PNG, SVG, XPM, ...) or ARGB pixels such
// as a window's _NET_WM_ICON, drawn stretched to a size and encoded as PNG.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/image.h"

namespace quillmoss::host {

// Read when drawn, so a vector image is rendered at the wanted size, not scaled from another.
class PixbufFileImage : public Image {
 public:
  explicit PixbufFileImage(std::filesystem::path file) : file_(std::move(file)) {}
  std::optional<std::vector<std::uint8_t>> pngDrawnAtSize(int width, int height) const override;
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
};

// Pixels as 32-bit ARGB values (alpha in the high byte, not premultiplied), row by row.
class ArgbImage : public Image {
 public:
  ArgbImage(int width, int height, std::vector<std::uint32_t> argb)
      : width_(width), height_(height), argb_(std::move(argb)) {}
  std::optional<std::vector<std::uint8_t>> pngDrawnAtSize(int width, int height) const override;

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> argb_;
};

}  // namespace quillmoss::host
