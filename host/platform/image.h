// An image that can be drawn, stretched, into a new bitmap of a given size and encoded as PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quillmoss::host {

class Image {
 public:
  virtual ~Image() = default;
  // The whole image drawn into width x height pixels without keeping its aspect ratio, as PNG
  // bytes; nullopt when the image cannot be read, drawn or encoded.
  virtual std::optional<std::vector<std::uint8_t>> pngDrawnAtSize(int width, int height) const = 0;
};

}  // namespace quillmoss::host
