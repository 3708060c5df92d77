// The table behind every GDI handle.
//
// A handle is an opaque number: the slot of the object in one table, its kind
// and the slot's generation, which grows each time the slot is freed. A look-up
// checks all three, so a stale or forged handle finds nothing instead of freed
// memory or an object of another kind. Objects live in their own allocations,
// so a pointer from a look-up stays valid until that object is freed, even when
// other objects are created meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32_types.h"

namespace gdi {

enum class Kind : uint8_t { kBitmap = 1, kBrush = 2, kRegion = 3, kDc = 4 };

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // top-down rows, XRGB, no padding
  HDC selected_into = nullptr;   // the one DC holding it (stock bitmaps: unused)
};

struct Brush {
  UINT style = 0;            // BS_SOLID or BS_NULL
  COLORREF colour = 0;       // as given, 0x00BBGGRR
  uint32_t pattern = 0;      // the colour as a pixel, 0x00RRGGBB
  int selected_count = 0;    // DCs that have it selected
};

struct Region {
  std::vector<RECT> rects;  // non-empty rectangles; the region is their union
  RECT bounds{};            // all zero for an empty region
};

struct Dc {
  HBITMAP bitmap = nullptr;
  HBRUSH brush = nullptr;
};

// A colour as the calls take it (0x00BBGGRR) as a pixel (0x00RRGGBB).
inline uint32_t PixelFromColour(COLORREF colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Hands over a pixel buffer that freed bitmaps left behind, resized to
// `count` zero pixels; false when none is large enough.
bool TakePixels(size_t count, std::vector<uint32_t>* pixels);

// New objects; null when the table or memory is exhausted.
HBITMAP AddBitmap(Bitmap&& bitmap);
HBRUSH AddBrush(const Brush& brush);
HRGN AddRegion(Region&& region);
HDC AddDc(const Dc& dc);

// Look-ups; null for an unknown, deleted or differently kinded handle.
Bitmap* FindBitmap(const void* handle);
Brush* FindBrush(const void* handle);
Region* FindRegion(const void* handle);
Dc* FindDc(const void* handle);

// What kind of live object the handle names, or 0.
Kind KindOf(const void* handle);
bool IsStock(const void* handle);

// Frees a live, non-stock object. The caller has checked that it may go.
void Remove(const void* handle);

// Objects alive now, stock ones included.
size_t LiveCount();

// The stock objects, made on first use and never freed.
HBRUSH StockBrush(int index);  // WHITE_BRUSH .. NULL_BRUSH, else null
HBITMAP DefaultBitmap();       // the 1 by 1 bitmap of a new DC

}  // namespace gdi
