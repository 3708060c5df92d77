// Bitmaps: loading from resources, compatible bitmaps, and the window
// system's view of their pixels.
#include <new>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/objects.h"
#include "platform/resources.h"

namespace {

HBITMAP NewBlackBitmap(int width, int height) {
  if (!gdi::BitmapSizeAllowed(width, height)) return nullptr;
  gdi::Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  try {
    const size_t count = static_cast<size_t>(width) * height;
    if (!gdi::TakePixels(count, &bitmap.pixels)) bitmap.pixels.assign(count, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return gdi::AddBitmap(std::move(bitmap));
}

}  // namespace

HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
  HRSRC resource = FindResourceA(instance, name, RT_BITMAP);
  if (!resource) return nullptr;
  const void* bytes = LockResource(LoadResource(instance, resource));
  DWORD size = SizeofResource(instance, resource);
  gdi::DecodedDib dib;
  if (!bytes || !gdi::DecodePackedDib(static_cast<const uint8_t*>(bytes), size, &dib)) return nullptr;
  gdi::Bitmap bitmap;
  bitmap.width = dib.width;
  bitmap.height = dib.height;
  bitmap.pixels = std::move(dib.pixels);
  return gdi::AddBitmap(std::move(bitmap));
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (!gdi::FindDc(dc)) return nullptr;
  // Windows answers an empty size with its shared 1 by 1 bitmap.
  if (width == 0 || height == 0) return gdi::DefaultBitmap();
  return NewBlackBitmap(width, height);
}

namespace gdi_internal {

HBITMAP CreateScreenBitmap(int width, int height) { return NewBlackBitmap(width, height); }

size_t LiveObjectCount() { return gdi::LiveCount(); }

uint32_t* BitmapPixels(HBITMAP bitmap, int* width, int* height) {
  gdi::Bitmap* b = gdi::FindBitmap(bitmap);
  if (!b) return nullptr;
  if (width) *width = b->width;
  if (height) *height = b->height;
  return b->pixels.data();
}

}  // namespace gdi_internal
