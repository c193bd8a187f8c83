// Window icons from _NET_WM_ICON or WM_HINTS; see x11_window_icon.h.
#include "linux_desktop/x11_window_icon.h"

#include <array>
#include <cstring>

namespace quillmoss::desktop {
namespace {

// 1024 × 1024 pixels is more than any real window icon; larger claims are not trusted.
constexpr std::uint64_t kMaxIconPixels = 1024 * 1024;
// All sizes of one window's icon together, in 32-bit units (16 MiB).
constexpr std::uint32_t kIconFetchUnits = 4 * 1024 * 1024;
// WM_HINTS: flags, input, initial_state, icon_pixmap, icon_window, icon_x, icon_y, icon_mask.
constexpr std::uint32_t kIconPixmapHint = 1u << 2;
constexpr std::uint32_t kIconMaskHint = 1u << 5;
constexpr std::uint32_t kHintsLength = 9;

template <typename Cookie>
void discard(xcb_connection_t* c, const Cookie& cookie) {
  if (cookie.sequence != 0) xcb_discard_reply(c, cookie.sequence);
}

// A depth-1 image as the server sends it (XY format): one bit per pixel, rows padded.
class Bitmap {
 public:
  Bitmap(const xcb_setup_t* setup, const xcb_get_image_reply_t* reply, int width, int height)
      : width_(width), height_(height) {
    const int pad = setup->bitmap_format_scanline_pad;
    stride_ = static_cast<std::size_t>((width + pad - 1) / pad * pad / 8);
    lsbFirst_ = setup->bitmap_format_bit_order == XCB_IMAGE_ORDER_LSB_FIRST;
    // With a scanline unit above a byte, bit and byte order must agree for bytes to be in
    // pixel order; the servers in use all agree.
    const bool lsbBytes = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    usable_ = reply != nullptr &&
              (setup->bitmap_format_scanline_unit == 8 || lsbFirst_ == lsbBytes) &&
              static_cast<std::size_t>(xcb_get_image_data_length(reply)) >= stride_ * height_;
    if (usable_) data_ = xcb_get_image_data(reply);
  }
  bool usable() const { return usable_; }
  bool bit(int x, int y) const {
    const std::uint8_t byte = data_[static_cast<std::size_t>(y) * stride_ + x / 8];
    return ((lsbFirst_ ? byte >> (x % 8) : byte >> (7 - x % 8)) & 1) != 0;
  }

 private:
  int width_, height_;
  std::size_t stride_ = 0;
  bool lsbFirst_ = true;
  bool usable_ = false;
  const std::uint8_t* data_ = nullptr;
};

struct Drawable {
  xcb_get_geometry_cookie_t geometry{};
  XcbReply<xcb_get_geometry_reply_t> reply;
};

std::optional<ArgbIcon> pixmapIcon(const X11Connection& x, xcb_pixmap_t pixmap, xcb_pixmap_t mask,
                                   const AwaitReplies& await) {
  xcb_connection_t* c = x.c;
  xcb_get_geometry_cookie_t pixmapGeometry = xcb_get_geometry(c, pixmap);
  xcb_get_geometry_cookie_t maskGeometry{};
  if (mask != XCB_PIXMAP_NONE) maskGeometry = xcb_get_geometry(c, mask);
  if (!await()) {
    discard(c, pixmapGeometry);
    discard(c, maskGeometry);
    return std::nullopt;
  }
  auto geometry = takeReply(c, pixmapGeometry, xcb_get_geometry_reply);
  XcbReply<xcb_get_geometry_reply_t> maskShape;
  if (mask != XCB_PIXMAP_NONE) maskShape = takeReply(c, maskGeometry, xcb_get_geometry_reply);
  if (!geometry || geometry->width == 0 || geometry->height == 0 ||
      std::uint64_t{geometry->width} * geometry->height > kMaxIconPixels) {
    return std::nullopt;
  }
  const int width = geometry->width, height = geometry->height, depth = geometry->depth;
  const xcb_setup_t* setup = xcb_get_setup(c);
  if (depth != 1 && depth != 24 && depth != 32) return std::nullopt;  // no colour map read
  // Z format for colour (one 32-bit unit per pixel at these depths), XY for a bitmap.
  std::uint8_t bitsPerPixel = 0;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == depth) bitsPerPixel = it.data->bits_per_pixel;
  }
  if (depth != 1 && bitsPerPixel != 32) return std::nullopt;
  const bool useMask = maskShape && maskShape->depth == 1 && maskShape->width == width &&
                       maskShape->height == height;
  const auto w = static_cast<std::uint16_t>(width), h = static_cast<std::uint16_t>(height);
  xcb_get_image_cookie_t image =
      xcb_get_image(c, depth == 1 ? XCB_IMAGE_FORMAT_XY_PIXMAP : XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap,
                    0, 0, w, h, depth == 1 ? 1u : ~0u);
  xcb_get_image_cookie_t maskImage{};
  if (useMask) maskImage = xcb_get_image(c, XCB_IMAGE_FORMAT_XY_PIXMAP, mask, 0, 0, w, h, 1);
  if (!await()) {
    discard(c, image);
    discard(c, maskImage);
    return std::nullopt;
  }
  auto pixels = takeReply(c, image, xcb_get_image_reply);
  XcbReply<xcb_get_image_reply_t> maskPixels;
  if (useMask) maskPixels = takeReply(c, maskImage, xcb_get_image_reply);
  if (!pixels) return std::nullopt;
  const Bitmap maskBits(setup, maskPixels.get(), width, height);
  if (useMask && !maskBits.usable()) return std::nullopt;

  ArgbIcon icon{width, height,
                std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
  if (depth == 1) {
    const Bitmap bits(setup, pixels.get(), width, height);
    if (!bits.usable()) return std::nullopt;
    // A bitmap icon is drawn in black on white.
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        icon.argb[static_cast<std::size_t>(y) * width + x] =
            bits.bit(x, y) ? 0xff000000u : 0xffffffffu;
      }
    }
  } else {
    if (static_cast<std::size_t>(xcb_get_image_data_length(pixels.get())) < icon.argb.size() * 4) {
      return std::nullopt;
    }
    const std::uint8_t* data = xcb_get_image_data(pixels.get());
    const bool lsb = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (std::size_t i = 0; i < icon.argb.size(); ++i) {
      const std::uint8_t* p = data + i * 4;
      const std::uint32_t value = lsb ? (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                                         std::uint32_t{p[1]} << 8 | p[0])
                                      : (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                         std::uint32_t{p[2]} << 8 | p[3]);
      // A true-colour visual with the usual masks: the low 24 bits are red, green, blue.
      icon.argb[i] = 0xff000000u | (value & 0xffffffu);
    }
  }
  if (useMask) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (!maskBits.bit(x, y)) icon.argb[static_cast<std::size_t>(y) * width + x] = 0;
      }
    }
  }
  return icon;
}

}  // namespace

std::optional<ArgbIcon> pickIcon(const std::uint32_t* data, std::size_t count, int side) {
  const auto wanted = static_cast<std::uint64_t>(side < 0 ? 0 : side);
  std::optional<std::size_t> largest, fitting;
  std::uint64_t largestPixels = 0, fittingPixels = 0;
  std::size_t at = 0;
  while (count - at >= 2) {
    const std::uint64_t width = data[at], height = data[at + 1];
    const std::uint64_t pixels = width * height;
    if (width == 0 || height == 0 || pixels > kMaxIconPixels || pixels > count - at - 2) break;
    if (pixels > largestPixels) {
      largest = at;
      largestPixels = pixels;
    }
    if (width >= wanted && height >= wanted && (!fitting || pixels < fittingPixels)) {
      fitting = at;
      fittingPixels = pixels;
    }
    at += 2 + static_cast<std::size_t>(pixels);
  }
  const std::optional<std::size_t> chosen = fitting ? fitting : largest;
  if (!chosen) return std::nullopt;
  const std::size_t best = *chosen;
  const std::size_t pixels = static_cast<std::size_t>(data[best]) * data[best + 1];
  return ArgbIcon{static_cast<int>(data[best]), static_cast<int>(data[best + 1]),
                  std::vector<std::uint32_t>(data + best + 2, data + best + 2 + pixels)};
}

std::optional<ArgbIcon> fetchWindowIcon(const X11Connection& x,
                                        std::span<const std::uint32_t> windows, int side,
                                        const AwaitReplies& await) {
  xcb_connection_t* c = x.c;
  for (const std::uint32_t window : windows) {
    auto netIcon =
        xcb_get_property(c, 0, window, x.atoms.netWmIcon, XCB_ATOM_CARDINAL, 0, kIconFetchUnits);
    auto hints =
        xcb_get_property(c, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, kHintsLength);
    if (!await()) {
      discard(c, netIcon);
      discard(c, hints);
      return std::nullopt;
    }
    auto icon = takeReply(c, netIcon, xcb_get_property_reply);
    auto hint = takeReply(c, hints, xcb_get_property_reply);
    if (icon && icon->format == 32) {
      auto picked =
          pickIcon(static_cast<const std::uint32_t*>(xcb_get_property_value(icon.get())),
                   static_cast<std::size_t>(xcb_get_property_value_length(icon.get()) / 4), side);
      if (picked) return picked;
    }
    if (hint && hint->format == 32 && hint->value_len >= 4) {
      std::array<std::uint32_t, kHintsLength> values{};
      std::memcpy(values.data(), xcb_get_property_value(hint.get()),
                  std::min<std::size_t>(hint->value_len, kHintsLength) * 4);
      const std::uint32_t flags = values[0];
      const bool withMask = (flags & kIconMaskHint) != 0 && hint->value_len >= 8;
      if ((flags & kIconPixmapHint) != 0 && values[3] != XCB_PIXMAP_NONE) {
        if (auto fromPixmap = pixmapIcon(
                x, values[3], withMask ? values[7] : xcb_pixmap_t{XCB_PIXMAP_NONE}, await)) {
          return fromPixmap;
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace quillmoss::desktop
