// The ternary raster operations on 32-bit XRGB pixels.
//
// An operation is an 8-bit index: bit 4P + 2S + D of it is the result for
// pattern bit P, source bit S and destination bit D, applied bit by bit over
// whole pixels. The index sits in bits 16 to 23 of a raster-operation code.
// Results keep the unused top byte of a pixel at 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gdi {

constexpr uint32_t kPixelMask = 0x00FFFFFF;

constexpr uint8_t RopIndex(uint32_t rop) { return static_cast<uint8_t>(rop >> 16); }

// Whether the result depends on the source or on the pattern at all.
constexpr bool RopUsesSource(uint8_t index) { return ((index >> 2) & 0x33) != (index & 0x33); }
constexpr bool RopUsesPattern(uint8_t index) { return ((index >> 4) & 0x0F) != (index & 0x0F); }

// One pixel, for reference and for single-pixel callers.
uint32_t TernaryOp(uint8_t index, uint32_t pattern, uint32_t src, uint32_t dst);

// Applies the operation over a width by height block: dst rows `dst_stride`
// pixels apart, src rows `src_stride` apart. The pattern is one pixel value
// repeated (a solid brush). `src` may be null when the operation does not use
// the source. The two blocks must not overlap.
void ApplyRop(uint8_t index, uint32_t pattern, const uint32_t* src, ptrdiff_t src_stride, uint32_t* dst,
              ptrdiff_t dst_stride, int width, int height);

}  // namespace gdi
