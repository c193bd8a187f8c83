// gdk-pixbuf loading, bilinear stretching and PNG encoding.
#include "platform/linux_workspace/pixbuf_image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>

namespace quillmoss::host {

namespace {

// The largest side we accept for a drawing target or an icon given as pixels.
constexpr int kMaxSide = 4096;

struct ObjectUnref {
  void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, ObjectUnref>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

struct GFree {
  void operator()(gchar* data) const { g_free(data); }
};

bool validSide(int side) { return side > 0 && side <= kMaxSide; }

std::optional<std::vector<std::uint8_t>> encodePng(GdkPixbuf* pixbuf) {
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* rawError = nullptr;
  const gboolean saved =
      gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", &rawError, nullptr);
  ErrorPtr error(rawError);
  std::unique_ptr<gchar, GFree> owned(buffer);
  if (!saved || !buffer || size == 0) return std::nullopt;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> PixbufFileImage::pngDrawnAtSize(int width,
                                                                         int height) const {
  if (!validSide(width) || !validSide(height)) return std::nullopt;
  GError* rawError = nullptr;
  // Aspect ratio not kept: the whole icon fills the square.
  PixbufPtr pixbuf(
      gdk_pixbuf_new_from_file_at_scale(file_.c_str(), width, height, FALSE, &rawError));
  ErrorPtr error(rawError);
  if (!pixbuf) return std::nullopt;
  if (gdk_pixbuf_get_width(pixbuf.get()) != width ||
      gdk_pixbuf_get_height(pixbuf.get()) != height) {
    pixbuf.reset(gdk_pixbuf_scale_simple(pixbuf.get(), width, height, GDK_INTERP_BILINEAR));
    if (!pixbuf) return std::nullopt;
  }
  return encodePng(pixbuf.get());
}

std::optional<std::vector<std::uint8_t>> ArgbImage::pngDrawnAtSize(int width, int height) const {
  if (!validSide(width) || !validSide(height)) return std::nullopt;
  if (!validSide(width_) || !validSide(height_)) return std::nullopt;
  const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  if (argb_.size() < pixels) return std::nullopt;
  std::vector<guchar> rgba(pixels * 4);
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint32_t value = argb_[i];
    rgba[i * 4 + 0] = static_cast<guchar>(value >> 16);
    rgba[i * 4 + 1] = static_cast<guchar>(value >> 8);
    rgba[i * 4 + 2] = static_cast<guchar>(value);
    rgba[i * 4 + 3] = static_cast<guchar>(value >> 24);
  }
  // Borrows rgba, which outlives both pixbufs.
  PixbufPtr source(gdk_pixbuf_new_from_data(rgba.data(), GDK_COLORSPACE_RGB, TRUE, 8, width_,
                                            height_, width_ * 4, nullptr, nullptr));
  if (!source) return std::nullopt;
  PixbufPtr drawn(gdk_pixbuf_scale_simple(source.get(), width, height, GDK_INTERP_BILINEAR));
  if (!drawn) return std::nullopt;
  return encodePng(drawn.get());
}

}  // namespace quillmoss::host
