#include "tools/gen/pictures/paint.h"

#include <algorithm>
#include <cmath>

void FillBox(Image& image, Box box, Rgb colour, float alpha) {
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) image.Blend(x, y, colour, alpha);
  }
}

void VerticalGradient(Image& image, Box box, Rgb top, Rgb bottom, float alpha) {
  for (int y = box.top; y < box.bottom; ++y) {
    float t = box.height() > 1 ? float(y - box.top) / float(box.height() - 1) : 0;
    Rgb c = Mix(top, bottom, t);
    for (int x = box.left; x < box.right; ++x) image.Blend(x, y, c, alpha);
  }
}

void HorizontalGradient(Image& image, Box box, Rgb left, Rgb right, float alpha) {
  for (int x = box.left; x < box.right; ++x) {
    float t = box.width() > 1 ? float(x - box.left) / float(box.width() - 1) : 0;
    Rgb c = Mix(left, right, t);
    for (int y = box.top; y < box.bottom; ++y) image.Blend(x, y, c, alpha);
  }
}

void Bevel(Image& image, Box box, Rgb light, Rgb dark, float alpha) {
  for (int x = box.left; x < box.right; ++x) {
    image.Blend(x, box.top, light, alpha);
    image.Blend(x, box.bottom - 1, dark, alpha);
  }
  for (int y = box.top + 1; y < box.bottom - 1; ++y) {
    image.Blend(box.left, y, light, alpha);
    image.Blend(box.right - 1, y, dark, alpha);
  }
}

void Outline(Image& image, Box box, Rgb colour, float alpha) { Bevel(image, box, colour, colour, alpha); }

void PaintShape(Image& image, Box bounds, const std::function<bool(float, float)>& inside,
                const std::function<Rgb(float, float)>& colour, float alpha, int samples) {
  const float step = 1.0f / samples;
  for (int y = bounds.top; y < bounds.bottom; ++y) {
    for (int x = bounds.left; x < bounds.right; ++x) {
      int hits = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          if (inside(x + (sx + 0.5f) * step, y + (sy + 0.5f) * step)) ++hits;
        }
      }
      if (hits) {
        image.Blend(x, y, colour(x + 0.5f, y + 0.5f), alpha * hits / float(samples * samples));
      }
    }
  }
}

void FillShape(Image& image, Box bounds, const std::function<bool(float, float)>& inside,
               Rgb colour, float alpha, int samples) {
  PaintShape(image, bounds, inside, [colour](float, float) { return colour; }, alpha, samples);
}

namespace {

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

float Unit(uint32_t h) { return (h & 0xFFFF) / 65535.0f * 2 - 1; }  // -1 to 1

}  // namespace

void Grain(Image& image, Box box, float amount, uint32_t seed, bool horizontal_streaks) {
  for (int y = box.top; y < box.bottom; ++y) {
    // Streaks: a per-row component shared by the row, varied slowly along it.
    const float row = horizontal_streaks ? Unit(Hash(0, y, seed)) : 0;
    for (int x = box.left; x < box.right; ++x) {
      if (!image.Contains(x, y)) continue;
      float n = Unit(Hash(x, y, seed));
      if (horizontal_streaks) n = 0.35f * n + 0.65f * row * (0.75f + 0.25f * Unit(Hash(x / 23, y, seed + 1)));
      Rgb c = image.Get(x, y);
      const float k = 1 + amount * n;
      image.Set(x, y, Scale(c, k));
    }
  }
}

void DrawPattern(Image& image, int x, int y, const std::vector<const char*>& rows, Rgb colour,
                 float alpha) {
  for (size_t r = 0; r < rows.size(); ++r) {
    for (int c = 0; rows[r][c]; ++c) {
      if (rows[r][c] == '#') image.Blend(x + c, y + static_cast<int>(r), colour, alpha);
      if (rows[r][c] == '+') image.Blend(x + c, y + static_cast<int>(r), colour, alpha * 0.5f);
    }
  }
}

namespace {

Mask BoxBlurOnce(const Mask& in, int radius) {
  Mask tmp(in.width, in.height), out(in.width, in.height);
  const float norm = 1.0f / (2 * radius + 1);
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < in.width; ++x) {
      float s = 0;
      for (int d = -radius; d <= radius; ++d) s += in.At(x + d, y);
      tmp.a[static_cast<size_t>(y) * in.width + x] = s * norm;
    }
  }
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < in.width; ++x) {
      float s = 0;
      for (int d = -radius; d <= radius; ++d) s += tmp.At(x, y + d);
      out.a[static_cast<size_t>(y) * in.width + x] = s * norm;
    }
  }
  return out;
}

}  // namespace

Mask Blur(const Mask& mask, int radius) { return BoxBlurOnce(BoxBlurOnce(mask, radius), radius); }

Mask Dilate(const Mask& mask, int radius) {
  Mask out(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      float m = 0;
      for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
          if (dx * dx + dy * dy <= radius * radius + radius) m = std::max(m, mask.At(x + dx, y + dy));
        }
      }
      out.a[static_cast<size_t>(y) * mask.width + x] = m;
    }
  }
  return out;
}

Mask Shift(const Mask& mask, int dx, int dy) {
  Mask out(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) out.a[static_cast<size_t>(y) * mask.width + x] = mask.At(x - dx, y - dy);
  }
  return out;
}

void PaintMask(Image& image, const Mask& mask, const std::function<Rgb(int, int)>& colour,
               float alpha) {
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      const float a = mask.At(x, y);
      if (a > 0) image.Blend(x, y, colour(x, y), alpha * std::min(a, 1.0f));
    }
  }
}

void PaintMask(Image& image, const Mask& mask, Rgb colour, float alpha) {
  PaintMask(image, mask, [colour](int, int) { return colour; }, alpha);
}
