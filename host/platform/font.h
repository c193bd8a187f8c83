// Fonts as the status bar takes them: a family kind, a size in points and a weight.
#pragma once

namespace quillmoss::host {

enum class FontFamily { system, monospacedDigitSystem };
enum class FontWeight { regular, medium, semibold, bold };

struct Font {
  FontFamily family = FontFamily::system;
  double pointSize = 13.0;
  FontWeight weight = FontWeight::regular;
  bool operator==(const Font&) const = default;

  static Font monospacedDigitSystemFont(double size, FontWeight weight) {
    return Font{FontFamily::monospacedDigitSystem, size, weight};
  }
};

}  // namespace quillmoss::host
