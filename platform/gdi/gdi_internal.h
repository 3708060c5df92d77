// What the window system and its hosts need of the software GDI beyond the
// Win32 calls themselves. Nothing of the player uses this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32_types.h"

namespace gdi_internal {

// A new bitmap in the screen's format (32-bit XRGB, 0x00RRGGBB), all black;
// the window system keeps each window's backing store in one. Null when a
// side is not positive or the size is unreasonable.
HBITMAP CreateScreenBitmap(int width, int height);

// The pixels of a bitmap: top-down rows of `*width` 32-bit XRGB values, with
// no padding. Null (and the sizes untouched) for an unknown or deleted handle.
uint32_t* BitmapPixels(HBITMAP bitmap, int* width, int* height);

// The rectangles whose union is the region, in the region's coordinates.
// False for an unknown or deleted handle.
bool RegionRects(HRGN region, std::vector<RECT>* rects);

// How many GDI objects (bitmaps, brushes, regions, DCs) are alive, stock
// objects included; for tests and benchmarks that look for leaked handles.
size_t LiveObjectCount();

}  // namespace gdi_internal
