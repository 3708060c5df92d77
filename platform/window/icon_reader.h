// Reading the program's icon: a whole .ico file, from which the 32 by 32
// image of 32 bits per pixel is taken. Every offset and size in the file is
// checked against the data before it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winsys {

struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // top-down rows, 0xAARRGGBB
};

// Fills `image` from the 32 by 32, 32-bit entry of an .ico file. Pixels are
// stored as BGRA; when no pixel carries alpha, the AND mask gives
// transparency. False when the file is malformed or has no such entry.
bool ReadIcon32(const uint8_t* data, size_t size, IconImage* image);

}  // namespace winsys
