// Test helpers: a temporary folder, PNG files written and PNG bytes read through gdk-pixbuf.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace quillmoss::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-host-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) path_ = made;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void writeText(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// A PNG of one colour (0xRRGGBBAA).
inline void writePng(const std::filesystem::path& file, int width, int height, std::uint32_t rgba) {
  std::filesystem::create_directories(file.parent_path());
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, rgba);
  gdk_pixbuf_save(pixbuf, file.c_str(), "png", nullptr, nullptr);
  g_object_unref(pixbuf);
}

// An SVG of the given size: a filled rectangle over the whole canvas.
inline std::string svgText(int width, int height, const std::string& colour) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
         " " + std::to_string(height) + "\"><rect x=\"0\" y=\"0\" width=\"" +
         std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" fill=\"" + colour +
         "\"/></svg>\n";
}

struct DecodedPng {
  int width = 0;
  int height = 0;
  bool isPng = false;
  std::vector<std::uint32_t> rgba;  // 0xRRGGBBAA per pixel, row by row
  std::uint32_t at(int x, int y) const { return rgba[static_cast<std::size_t>(y * width + x)]; }
};

inline std::optional<DecodedPng> decodePng(const std::vector<std::uint8_t>& bytes) {
  static const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  DecodedPng decoded;
  decoded.isPng = bytes.size() > 8 && std::equal(kSignature, kSignature + 8, bytes.begin());
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  const bool ok = gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr) &&
                  gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  if (!pixbuf) {
    g_object_unref(loader);
    return std::nullopt;
  }
  decoded.width = gdk_pixbuf_get_width(pixbuf);
  decoded.height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  for (int y = 0; y < decoded.height; ++y) {
    for (int x = 0; x < decoded.width; ++x) {
      const guchar* p = pixels + y * stride + x * channels;
      const std::uint32_t alpha = channels == 4 ? p[3] : 0xff;
      decoded.rgba.push_back((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                             (std::uint32_t{p[2]} << 8) | alpha);
    }
  }
  g_object_unref(loader);
  return decoded;
}

}  // namespace quillmoss::testing
