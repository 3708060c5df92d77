// BitBlt and PatBlt: handle checks, clipping, then the raster operation.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/objects.h"
#include "platform/gdi/raster_op.h"

namespace {

struct Surface {
  gdi::Bitmap* bitmap = nullptr;
  uint32_t pattern = 0;
};

// The bitmap a DC draws on and, when `with_pattern`, the pattern of its
// brush; false for a bad DC.
bool SurfaceOf(HDC dc, Surface* surface, bool with_pattern) {
  const gdi::Dc* state = gdi::FindDc(dc);
  if (!state) return false;
  surface->bitmap = gdi::FindBitmap(state->bitmap);
  if (!surface->bitmap) return false;
  if (with_pattern) {
    const gdi::Brush* brush = gdi::FindBrush(state->brush);
    surface->pattern = brush ? brush->pattern : 0;
  }
  return true;
}

struct Block {
  int64_t left, top, right, bottom;
};

// Clips the destination block to [0, width) x [0, height) of a surface at
// offset (dx, dy) from it: destination pixel X reads surface pixel X + dx.
void ClipTo(Block* block, int64_t dx, int64_t dy, int width, int height) {
  block->left = std::max(block->left, -dx);
  block->top = std::max(block->top, -dy);
  block->right = std::min(block->right, width - dx);
  block->bottom = std::min(block->bottom, height - dy);
}

// `brush`, when given, stands in for the destination's own brush.
BOOL Blit(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y, DWORD rop,
          const gdi::Brush* brush = nullptr) {
  const uint8_t index = gdi::RopIndex(rop);
  const bool uses_source = gdi::RopUsesSource(index);
  // The brush is looked up only for operations that read the pattern.
  Surface to;
  if (!SurfaceOf(dest, &to, brush == nullptr && gdi::RopUsesPattern(index))) return FALSE;
  if (brush) to.pattern = brush->pattern;
  Surface from;
  if (uses_source && !SurfaceOf(src, &from, false)) return FALSE;
  if (width <= 0 || height <= 0) return TRUE;

  // Everything in 64 bits: positions plus sizes may pass the int range.
  Block block{x, y, int64_t{x} + width, int64_t{y} + height};
  ClipTo(&block, 0, 0, to.bitmap->width, to.bitmap->height);
  const int64_t dx = int64_t{src_x} - x, dy = int64_t{src_y} - y;
  if (uses_source) ClipTo(&block, dx, dy, from.bitmap->width, from.bitmap->height);
  if (block.right <= block.left || block.bottom <= block.top) return TRUE;

  const int w = static_cast<int>(block.right - block.left);
  const int h = static_cast<int>(block.bottom - block.top);
  const ptrdiff_t dest_stride = to.bitmap->width;
  uint32_t* dst = to.bitmap->pixels.data() + block.top * dest_stride + block.left;
  const uint32_t* s = nullptr;
  ptrdiff_t src_stride = 0;
  std::vector<uint32_t> copy;
  if (uses_source) {
    src_stride = from.bitmap->width;
    s = from.bitmap->pixels.data() + (block.top + dy) * src_stride + (block.left + dx);
    // A blit within one bitmap may read what it has already written; work
    // from a copy of the source block when the two blocks meet.
    if (from.bitmap == to.bitmap && std::abs(dx) < w && std::abs(dy) < h) {
      try {
        copy.resize(static_cast<size_t>(w) * h);
      } catch (const std::bad_alloc&) {
        return FALSE;
      }
      for (int row = 0; row < h; ++row) {
        std::memcpy(copy.data() + static_cast<size_t>(row) * w, s + row * src_stride, sizeof(uint32_t) * w);
      }
      s = copy.data();
      src_stride = w;
    }
  }
  gdi::ApplyRop(index, to.pattern, s, src_stride, dst, dest_stride, w, h);
  return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y, DWORD rop) {
  return Blit(dest, x, y, width, height, src, src_x, src_y, rop);
}

BOOL PatBlt(HDC dest, int x, int y, int width, int height, DWORD rop) {
  // PatBlt takes only the operations that leave the source out.
  if (gdi::RopUsesSource(gdi::RopIndex(rop))) return FALSE;
  return Blit(dest, x, y, width, height, nullptr, 0, 0, rop);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  const gdi::Brush* b = gdi::FindBrush(brush);
  if (!rect || !b || !gdi::FindDc(dc)) return 0;
  if (b->style == BS_NULL) return 1;  // a hollow brush paints nothing
  // Width and height in 64 bits: the corners may lie far apart.
  int64_t w = int64_t{rect->right} - rect->left, h = int64_t{rect->bottom} - rect->top;
  if (w <= 0 || h <= 0) return 1;
  return Blit(dc, rect->left, rect->top, static_cast<int>(std::min<int64_t>(w, INT32_MAX)),
              static_cast<int>(std::min<int64_t>(h, INT32_MAX)), nullptr, 0, 0, PATCOPY, b);
}
