#include "platform/gdi/raster_op.h"

#include <cstring>

namespace gdi {
namespace {

// With a solid pattern the pattern is the same in every pixel, so it folds into
// four constants, one per (source, destination) minterm: bit b of term[2S + D]
// is the result for source bit S and destination bit D where the pattern bit b
// is what the brush has. What is left is four ANDs and ORs per pixel, which
// the compiler vectorises.
struct General {
  uint32_t term[4];

  General(uint8_t index, uint32_t pattern) {
    for (int k = 0; k < 4; ++k) {
      uint32_t with_p = (index >> (4 + k)) & 1 ? ~uint32_t{0} : 0;
      uint32_t without_p = (index >> k) & 1 ? ~uint32_t{0} : 0;
      term[k] = ((pattern & with_p) | (~pattern & without_p)) & kPixelMask;
    }
  }
  uint32_t operator()(uint32_t s, uint32_t d) const {
    return (~s & ~d & term[0]) | (~s & d & term[1]) | (s & ~d & term[2]) | (s & d & term[3]);
  }
};

template <class Op>
void WithSource(const uint32_t* src, ptrdiff_t src_stride, uint32_t* dst, ptrdiff_t dst_stride, int width,
                int height, Op op) {
  for (int y = 0; y < height; ++y) {
    const uint32_t* s = src + y * src_stride;
    uint32_t* d = dst + y * dst_stride;
    for (int x = 0; x < width; ++x) d[x] = op(s[x], d[x]);
  }
}

template <class Op>
void DestOnly(uint32_t* dst, ptrdiff_t dst_stride, int width, int height, Op op) {
  for (int y = 0; y < height; ++y) {
    uint32_t* d = dst + y * dst_stride;
    for (int x = 0; x < width; ++x) d[x] = op(d[x]);
  }
}

// Rows narrower than this (a glyph of the bitmap font is about ten pixels)
// are copied inline: a memcpy call per row costs more than the copy.
constexpr int kNarrow = 32;

void CopyNarrow(const uint32_t* src, ptrdiff_t src_stride, uint32_t* dst, ptrdiff_t dst_stride, int width,
                int height) {
  for (int y = 0; y < height; ++y) {
    const uint32_t* s = src + y * src_stride;
    uint32_t* d = dst + y * dst_stride;
    int x = 0;
    for (; x + 4 <= width; x += 4) std::memcpy(d + x, s + x, 4 * sizeof(uint32_t));  // one vector move
    for (; x < width; ++x) d[x] = s[x];
  }
}

void Fill(uint32_t* dst, ptrdiff_t dst_stride, int width, int height, uint32_t value) {
  DestOnly(dst, dst_stride, width, height, [value](uint32_t) { return value; });
}

}  // namespace

uint32_t TernaryOp(uint8_t index, uint32_t pattern, uint32_t src, uint32_t dst) {
  return General(index, pattern)(src, dst);
}

void ApplyRop(uint8_t index, uint32_t pattern, const uint32_t* src, ptrdiff_t src_stride, uint32_t* dst,
              ptrdiff_t dst_stride, int width, int height) {
  if (width <= 0 || height <= 0) return;
  const uint32_t p = pattern & kPixelMask;
  // The operations the player and the window system use, and the named ones,
  // get loops of their own; everything else goes through the general form.
  switch (index) {
    case 0x00: return Fill(dst, dst_stride, width, height, 0);           // BLACKNESS
    case 0xFF: return Fill(dst, dst_stride, width, height, kPixelMask);  // WHITENESS
    case 0xF0: return Fill(dst, dst_stride, width, height, p);           // PATCOPY
    case 0x0F: return Fill(dst, dst_stride, width, height, ~p & kPixelMask);
    case 0xAA: return;  // destination kept
    case 0x55: return DestOnly(dst, dst_stride, width, height, [](uint32_t d) { return ~d & kPixelMask; });
    case 0x5A: return DestOnly(dst, dst_stride, width, height, [p](uint32_t d) { return d ^ p; });
    case 0xCC:  // SRCCOPY
      if (width < kNarrow) return CopyNarrow(src, src_stride, dst, dst_stride, width, height);
      for (int y = 0; y < height; ++y) {
        std::memcpy(dst + y * dst_stride, src + y * src_stride, sizeof(uint32_t) * width);
      }
      return;
    case 0x33:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [](uint32_t s, uint32_t) { return ~s & kPixelMask; });
    case 0x88:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [](uint32_t s, uint32_t d) { return s & d; });
    case 0xEE:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [](uint32_t s, uint32_t d) { return s | d; });
    case 0x66:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [](uint32_t s, uint32_t d) { return s ^ d; });
    case 0x22:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [](uint32_t s, uint32_t d) { return d & ~s; });
    case 0x44:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [](uint32_t s, uint32_t d) { return s & ~d; });
    case 0x11:
      return WithSource(src, src_stride, dst, dst_stride, width, height,
                        [](uint32_t s, uint32_t d) { return ~(s | d) & kPixelMask; });
    case 0xBB:
      return WithSource(src, src_stride, dst, dst_stride, width, height,
                        [](uint32_t s, uint32_t d) { return (~s | d) & kPixelMask; });
    case 0xC0:
      return WithSource(src, src_stride, dst, dst_stride, width, height, [p](uint32_t s, uint32_t) { return p & s; });
    default:
      break;
  }
  const General op(index, p);
  if (RopUsesSource(index)) {
    WithSource(src, src_stride, dst, dst_stride, width, height, op);
  } else {
    // The result is the same for either source bit; take source 0.
    DestOnly(dst, dst_stride, width, height, [op](uint32_t d) { return op(0, d); });
  }
}

}  // namespace gdi
