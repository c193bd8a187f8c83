// Tray pixmaps through gdk-pixbuf (its SVG loader renders the vector image at each size).
#include "platform/linux/tray/tray_icon.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace quillmoss::host {

namespace {

bool drawInto(const std::filesystem::path& svg, int size, TrayPixmap& pixmap) {
  GdkPixbuf* drawn = gdk_pixbuf_new_from_file_at_size(svg.c_str(), size, size, nullptr);
  if (drawn == nullptr) return false;
  const int width = gdk_pixbuf_get_width(drawn), height = gdk_pixbuf_get_height(drawn);
  const int channels = gdk_pixbuf_get_n_channels(drawn), stride = gdk_pixbuf_get_rowstride(drawn);
  const bool alpha = gdk_pixbuf_get_has_alpha(drawn);
  const guchar* pixels = gdk_pixbuf_read_pixels(drawn);
  if (channels < 3) {
    g_object_unref(drawn);
    return false;
  }
  pixmap = {width, height, {}};
  pixmap.argb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const guchar* p = pixels + y * stride + x * channels;
      pixmap.argb.insert(pixmap.argb.end(), {alpha ? p[3] : guchar{255}, p[0], p[1], p[2]});
    }
  }
  g_object_unref(drawn);
  return true;
}

}  // namespace

TrayIcon trayIconFromTheme(const std::filesystem::path& themePath, const std::string& name) {
  TrayIcon icon{name, themePath.string(), {}};
  const auto svg = themePath / (name + ".svg");
  for (int size : kTrayIconSizes) {
    TrayPixmap pixmap;
    if (drawInto(svg, size, pixmap)) icon.pixmaps.push_back(std::move(pixmap));
  }
  return icon;
}

}  // namespace quillmoss::host
