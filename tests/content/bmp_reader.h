// A small, strict reader for the Windows bitmaps the disk ships (8-bit
// palettised and 24-bit, BITMAPINFOHEADER, uncompressed), independent of the
// player's own loader so that the content tests check the files themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BmpImage {
  int width = 0, height = 0, bits = 0;
  std::vector<uint32_t> palette;   // 0x00RRGGBB, for 8-bit images
  std::vector<uint8_t> indices;    // top-down, for 8-bit images
  std::vector<uint32_t> pixels;    // top-down 0x00RRGGBB, for every image

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// False (with `error` set) for anything this reader does not understand or
// for a file shorter than its headers claim.
bool ReadBmp(const std::vector<uint8_t>& file, BmpImage* out, std::string* error);

// Whole file, or an empty vector when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
