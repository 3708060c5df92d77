// The calls that work on objects of every kind, and brushes.
#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/gdi/objects.h"

BOOL DeleteObject(HGDIOBJ object) {
  const gdi::Kind kind = gdi::KindOf(object);
  if (kind == gdi::Kind{} || kind == gdi::Kind::kDc) return FALSE;
  if (gdi::IsStock(object)) return TRUE;
  // Whatever a DC still has selected stays, as on Windows.
  if (const gdi::Bitmap* bitmap = gdi::FindBitmap(object); bitmap && bitmap->selected_into) return FALSE;
  if (const gdi::Brush* brush = gdi::FindBrush(object); brush && brush->selected_count > 0) return FALSE;
  gdi::Remove(object);
  return TRUE;
}

int GetObjectA(HANDLE object, int size, LPVOID buffer) {
  if (const gdi::Bitmap* bitmap = gdi::FindBitmap(object)) {
    if (buffer == nullptr) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{};
    info.bmType = 0;
    info.bmWidth = bitmap->width;
    info.bmHeight = bitmap->height;
    info.bmWidthBytes = 4 * bitmap->width;
    info.bmPlanes = 1;
    info.bmBitsPixel = 32;
    info.bmBits = nullptr;
    std::memcpy(buffer, &info, sizeof info);
    return sizeof info;
  }
  if (const gdi::Brush* brush = gdi::FindBrush(object)) {
    if (buffer == nullptr) return sizeof(LOGBRUSH);
    if (size < static_cast<int>(sizeof(LOGBRUSH))) return 0;
    LOGBRUSH info{brush->style, brush->colour, 0};
    std::memcpy(buffer, &info, sizeof info);
    return sizeof info;
  }
  return 0;
}

DWORD GetObjectType(HGDIOBJ object) {
  switch (gdi::KindOf(object)) {
    case gdi::Kind::kBitmap: return OBJ_BITMAP;
    case gdi::Kind::kBrush: return OBJ_BRUSH;
    case gdi::Kind::kRegion: return OBJ_REGION;
    case gdi::Kind::kDc: return OBJ_MEMDC;
  }
  return 0;
}

HGDIOBJ GetStockObject(int index) { return gdi::StockBrush(index); }

HBRUSH CreateSolidBrush(COLORREF colour) {
  gdi::Brush brush;
  brush.style = BS_SOLID;
  brush.colour = colour & 0x00FFFFFF;
  brush.pattern = gdi::PixelFromColour(colour);
  return gdi::AddBrush(brush);
}
