// Decoding of packed DIBs, the form in which bitmap resources are stored: a
// bitmap header, the optional colour masks and colour table, then the rows.
//
// Headers: the 12-byte core header, the 40-byte info header and its 52, 56,
// 108 (V4) and 124 (V5) byte successors. Pixels: 1, 4 and 8 bits through a
// colour table (biClrUsed entries, or all 2^bits when it is 0), 16 and 32 bits
// as BI_RGB or BI_BITFIELDS, 24 bits as BI_RGB; rows padded to 4 bytes,
// bottom-up or (negative height) top-down. Compressed (RLE) bitmaps are not
// taken. Anything malformed or truncated is refused, and the decoder never
// reads outside the bytes it is given: this runs on untrusted data. Pure C++,
// so that the tools (which check bitmaps for the player) use it on every
// system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gdi {

// Bitmaps larger than this are refused rather than half-allocated.
constexpr int kMaxBitmapSide = 1 << 15;
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 26;

// True when a bitmap of that size may be made (both sides positive).
bool BitmapSizeAllowed(int64_t width, int64_t height);

struct DecodedDib {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // top-down rows of XRGB (0x00RRGGBB)
};

// False, with `out` unspecified, when the data is not a DIB this decoder takes.
bool DecodePackedDib(const uint8_t* data, size_t size, DecodedDib* out);

}  // namespace gdi
