// A floating-point RGB(A) canvas for painting the disk's pictures.
//
// Channels run from 0 to 1. Painting blends with an alpha and clips to the
// canvas, so callers may draw shapes that reach past the edges. Conversion to
// 8 bits rounds to nearest, which keeps the output files stable from run to run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
  float r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, float t);          // a at t = 0, b at t = 1
Rgb Scale(Rgb c, float k);               // brightness, clamped later
Rgb Hex(uint32_t rgb);                   // 0xRRGGBB
float Luminance(Rgb c);                  // Rec. 601 weights

class Image {
 public:
  Image(int width, int height, Rgb fill = {});

  int width() const { return width_; }
  int height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  Rgb Get(int x, int y) const { return pixels_[Index(x, y)]; }
  void Set(int x, int y, Rgb c);                    // ignored outside
  void Blend(int x, int y, Rgb c, float alpha);     // ignored outside
  float Alpha(int x, int y) const { return alpha_[Index(x, y)]; }
  void SetAlpha(int x, int y, float a);             // ignored outside

  // Top-down rows of 8-bit red, green, blue.
  std::vector<uint8_t> ToRgb8() const;

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

  int width_, height_;
  std::vector<Rgb> pixels_;
  std::vector<float> alpha_;  // coverage, for pictures with transparency (the icon)
};

uint8_t ToByte(float v);
