// The pictures of a disk, checked the way the player will use them: the skin
// (400 by 246), its window region (from a key colour or a mask), the font
// page (128 by 128, 8 bits a pixel) and the icon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace disk {

struct Picture {
  std::vector<uint8_t> file;  // the .bmp file as read
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
  std::vector<uint32_t> pixels;  // top-down rows of 0x00RRGGBB
};

// A .bmp file the player can load (its bitmap resource is the file without
// the 14-byte file header). Throws std::runtime_error ("PATH: reason").
Picture ReadBmp(const std::string& path, const std::vector<uint8_t>& file);

// The bitmap resource of a .bmp file: everything after its file header.
std::vector<uint8_t> BitmapResource(const Picture& picture);

struct Rect {
  int32_t left, top, right, bottom;  // right and bottom outside
};

// The region of the pixels for which `inside` holds, as rectangles: runs of
// a row, merged with the same runs of the rows below into bands, so a plain
// shape takes a few rectangles rather than one a pixel.
template <typename Inside>
std::vector<Rect> RegionOf(int width, int height, Inside inside);

// Pixels of the key colour (0xRRGGBB) are outside the window.
std::vector<Rect> RegionFromKeyColour(const Picture& skin, uint32_t key);
// A black-and-white picture of the skin's size: white inside, black outside.
// Throws std::runtime_error for another size or another colour.
std::vector<Rect> RegionFromMask(const Picture& mask, const Picture& skin, const std::string& mask_path);

// Region data as the player's ExtCreateRegion takes it (RGNDATA with
// RDH_RECTANGLES). Throws for an empty region: the window would be invisible.
std::vector<uint8_t> RegionData(const std::vector<Rect>& rects);

// Throws std::runtime_error ("PATH: reason") when the bytes are not an icon
// file (.ico) of at least one image.
void CheckIcon(const std::string& path, const std::vector<uint8_t>& file);

// "RRGGBB" (hexadecimal, an optional leading '#') as 0xRRGGBB; throws otherwise.
uint32_t ParseColour(const std::string& text);

template <typename Inside>
std::vector<Rect> RegionOf(int width, int height, Inside inside) {
  std::vector<Rect> rects;
  std::vector<std::pair<int, int>> band_runs;  // runs of the band being grown
  size_t band_first = 0;                       // its rectangles in `rects`
  for (int y = 0; y < height; ++y) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < width;) {
      if (!inside(x, y)) {
        ++x;
        continue;
      }
      int start = x;
      while (x < width && inside(x, y)) ++x;
      runs.emplace_back(start, x);
    }
    if (!runs.empty() && runs == band_runs) {
      for (size_t i = band_first; i < rects.size(); ++i) rects[i].bottom = y + 1;
      continue;
    }
    band_runs = runs;
    band_first = rects.size();
    for (const auto& [left, right] : runs) rects.push_back({left, y, right, y + 1});
  }
  return rects;
}

}  // namespace disk
