// Drawing primitives for the generated pictures. Rectangles are half-open
// (right and bottom outside), as the player's hotspots are. Curved shapes are
// anti-aliased by supersampling a point-in-shape test, which is slow but
// exact enough and the same on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "tools/gen/pictures/image.h"

struct Box {
  int left, top, right, bottom;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  Box Inset(int d) const { return {left + d, top + d, right - d, bottom - d}; }
};

void FillBox(Image& image, Box box, Rgb colour, float alpha = 1);
void VerticalGradient(Image& image, Box box, Rgb top, Rgb bottom, float alpha = 1);
void HorizontalGradient(Image& image, Box box, Rgb left, Rgb right, float alpha = 1);

// A one-pixel bevel on the box's edge: `light` on the top and left, `dark`
// on the bottom and right (swap them for a sunken look).
void Bevel(Image& image, Box box, Rgb light, Rgb dark, float alpha = 1);
void Outline(Image& image, Box box, Rgb colour, float alpha = 1);

// Blends `colour` over every pixel of `bounds` by the fraction of its
// samples x samples sub-pixel points (pixel centres at +0.5) that `inside`
// accepts.
void FillShape(Image& image, Box bounds, const std::function<bool(float, float)>& inside,
               Rgb colour, float alpha = 1, int samples = 4);

// Same as FillShape but the colour may vary over the shape.
void PaintShape(Image& image, Box bounds, const std::function<bool(float, float)>& inside,
                const std::function<Rgb(float, float)>& colour, float alpha = 1,
                int samples = 4);

// Fine grain over a box, a small brightness change per pixel taken from a
// hash of its position: brushed metal rather than flat plastic.
void Grain(Image& image, Box box, float amount, uint32_t seed, bool horizontal_streaks);

// Pixel art: rows of '#' (colour) and anything else (left alone), top-left
// at (x, y).
void DrawPattern(Image& image, int x, int y, const std::vector<const char*>& rows, Rgb colour,
                 float alpha = 1);

// A coverage mask the size of an image, for effects built from text.
struct Mask {
  int width = 0, height = 0;
  std::vector<float> a;
  Mask(int w, int h) : width(w), height(h), a(static_cast<size_t>(w) * h, 0) {}
  float At(int x, int y) const {
    return (x < 0 || y < 0 || x >= width || y >= height) ? 0 : a[static_cast<size_t>(y) * width + x];
  }
};

Mask Blur(const Mask& mask, int radius);      // box blur, applied twice (close to Gaussian)
Mask Dilate(const Mask& mask, int radius);    // round structuring element
Mask Shift(const Mask& mask, int dx, int dy);
void PaintMask(Image& image, const Mask& mask, Rgb colour, float alpha = 1);
void PaintMask(Image& image, const Mask& mask, const std::function<Rgb(int, int)>& colour,
               float alpha = 1);
