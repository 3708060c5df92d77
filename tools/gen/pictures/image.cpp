#include "tools/gen/pictures/image.h"

#include <algorithm>
#include <cmath>

Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

Rgb Hex(uint32_t rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f};
}

float Luminance(Rgb c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }

uint8_t ToByte(float v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

Image::Image(int width, int height, Rgb fill)
    : width_(width),
      height_(height),
      pixels_(static_cast<size_t>(width) * height, fill),
      alpha_(static_cast<size_t>(width) * height, 1.0f) {}

void Image::Set(int x, int y, Rgb c) {
  if (Contains(x, y)) pixels_[Index(x, y)] = c;
}

void Image::Blend(int x, int y, Rgb c, float alpha) {
  if (!Contains(x, y) || alpha <= 0) return;
  Rgb& p = pixels_[Index(x, y)];
  p = Mix(p, c, std::min(alpha, 1.0f));
}

void Image::SetAlpha(int x, int y, float a) {
  if (Contains(x, y)) alpha_[Index(x, y)] = std::clamp(a, 0.0f, 1.0f);
}

std::vector<uint8_t> Image::ToRgb8() const {
  std::vector<uint8_t> out;
  out.reserve(pixels_.size() * 3);
  for (const Rgb& p : pixels_) {
    out.push_back(ToByte(p.r));
    out.push_back(ToByte(p.g));
    out.push_back(ToByte(p.b));
  }
  return out;
}
