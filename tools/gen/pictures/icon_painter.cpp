#include "tools/gen/pictures/icon_painter.h"

#include <algorithm>
#include <cmath>

namespace {

// Fraction of a pixel's 8 by 8 sample points that lie within distance
// `radius` of the centre.
float Coverage(int x, int y, float cx, float cy, float radius) {
  int hits = 0;
  for (int sy = 0; sy < 8; ++sy) {
    for (int sx = 0; sx < 8; ++sx) {
      if (std::hypot(x + (sx + 0.5f) / 8 - cx, y + (sy + 0.5f) / 8 - cy) < radius) ++hits;
    }
  }
  return hits / 64.0f;
}

}  // namespace

Image PaintIcon() {
  constexpr int kSize = 32;
  const float c = 16, r = 15.5f, label = 6.5f;
  Image icon(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const float px = x + 0.5f - c, py = y + 0.5f - c;
      const float d = std::hypot(px, py);
      const float angle = std::atan2(py, px);
      const float sheen = std::pow(std::abs(std::cos(angle - 0.9f)), 10.0f);
      const float groove = 0.5f + 0.5f * std::cos(d * 2.6f);
      Rgb v = Mix(Hex(0x0C0F15), Hex(0x2A3242), 0.4f * groove);
      v = Mix(v, Hex(0xA8C0E0), sheen * 0.45f);
      if (d > r - 1.3f) v = Hex(0x5A6A84);  // rim

      // Label: the accent blue, lighter at the top, with the hole in it.
      const float t = std::clamp((py + label) / (2 * label), 0.0f, 1.0f);
      const Rgb label_colour = Mix(Hex(0x6ADAFF), Hex(0x1B4F9E), t);
      const float on_label = Coverage(x, y, c, c, label);
      v = Mix(v, label_colour, on_label);

      const float disc = Coverage(x, y, c, c, r);
      const float hole = Coverage(x, y, c, c, 1.6f);
      icon.Set(x, y, v);
      icon.SetAlpha(x, y, disc * (1 - hole));
    }
  }
  return icon;
}
