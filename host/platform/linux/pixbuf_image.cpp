// gdk-pixbuf loading, bilinear stretching and PNG encoding.
#include "platform/linux/pixbuf_image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

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

// Icon files larger than this are not read.
constexpr std::uintmax_t kMaxFileBytes = 32u << 20;

struct LoaderUnref {
  void operator()(GdkPixbufLoader* loader) const { g_object_unref(loader); }
};
using LoaderPtr = std::unique_ptr<GdkPixbufLoader, LoaderUnref>;

bool validSide(int side) {
  return side > 0 && side <= kMaxSide;
}

std::optional<std::vector<guchar>> readSmallFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxFileBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<guchar> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    return std::nullopt;
  }
  return bytes;
}

const char* formatForExtension(std::string extension) {
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".png") return "png";
  if (extension == ".svg" || extension == ".svgz") return "svg";
  if (extension == ".xpm") return "xpm";
  return nullptr;
}

struct ReadSize {
  int width;
  int height;
  bool refused = false;  // The declared size is too large to decode.
};

// Bytes handed to the loader at a time: few at first, doubling, since a loader decodes all
// it was handed before it notices a refusal made as soon as the header was read.
constexpr std::size_t kFirstLoaderChunkBytes = 64;
constexpr std::size_t kLoaderChunkBytes = 64 * 1024;

// Reads at the smallest size that covers the target in both directions, keeping the image's
// own proportions: a vector image is drawn there rather than scaled up from something smaller.
// A bitmap declaring more than kMaxSide on a side is refused before a pixel is decoded: a few
// KB of compressed file can declare gigabytes of pixels.
void onSizePrepared(GdkPixbufLoader* loader, gint naturalWidth, gint naturalHeight, gpointer data) {
  auto* target = static_cast<ReadSize*>(data);
  GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
  const bool scalable = format != nullptr && gdk_pixbuf_format_is_scalable(format);
  if (naturalWidth <= 0 || naturalHeight <= 0 ||
      (!scalable && (naturalWidth > kMaxSide || naturalHeight > kMaxSide))) {
    target->refused = true;
    gdk_pixbuf_loader_set_size(loader, 0, 0);  // Makes the loader stop with an error.
    return;
  }
  const double factor = std::max(static_cast<double>(target->width) / naturalWidth,
                                 static_cast<double>(target->height) / naturalHeight);
  const int width =
      std::clamp(static_cast<int>(std::ceil(naturalWidth * factor)), target->width, kMaxSide);
  const int height =
      std::clamp(static_cast<int>(std::ceil(naturalHeight * factor)), target->height, kMaxSide);
  gdk_pixbuf_loader_set_size(loader, width, height);
}

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
  auto bytes = readSmallFile(file_);
  if (!bytes || bytes->empty()) return std::nullopt;

  // The format comes from the extension where it names one, so that loading does not depend
  // on the MIME database being found through $XDG_DATA_DIRS; otherwise the data is sniffed.
  const char* format = formatForExtension(file_.extension().string());
  LoaderPtr loader(format ? gdk_pixbuf_loader_new_with_type(format, nullptr)
                          : gdk_pixbuf_loader_new());
  if (!loader) return std::nullopt;
  ReadSize target{width, height};
  g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(onSizePrepared), &target);
  GError* rawError = nullptr;
  for (std::size_t at = 0, count = 0; at < bytes->size(); at += count) {
    count = std::min({bytes->size() - at, std::max(kFirstLoaderChunkBytes, at), kLoaderChunkBytes});
    const bool written =
        gdk_pixbuf_loader_write(loader.get(), bytes->data() + at, count, &rawError);
    ErrorPtr writeError(rawError);
    rawError = nullptr;
    // A failed write has closed the loader already; closing it again would complain.
    if (!written) return std::nullopt;
    if (target.refused) break;
  }
  const bool closed = gdk_pixbuf_loader_close(loader.get(), &rawError);
  ErrorPtr closeError(rawError);
  if (!closed || target.refused) return std::nullopt;
  GdkPixbuf* loaded = gdk_pixbuf_loader_get_pixbuf(loader.get());
  if (!loaded) return std::nullopt;
  // ... then the whole of it is stretched over the target: the aspect ratio is not kept.
  PixbufPtr drawn(gdk_pixbuf_scale_simple(loaded, width, height, GDK_INTERP_BILINEAR));
  if (!drawn) return std::nullopt;
  return encodePng(drawn.get());
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
