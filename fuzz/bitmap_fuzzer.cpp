// libFuzzer target: LoadBitmapA over a bitmap resource with arbitrary bytes.
//
// The input is the resource as it is embedded: a packed DIB (bitmap header,
// colour masks or table, rows). A bitmap that loads must have a positive
// size, and be usable: it is copied onto a small surface and back, clipped
// at every edge. The decoder is checked on its own as well: its pixels are
// exactly width by height and their unused top byte is 0.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "platform/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 22)) return 0;
  std::vector<uint8_t> bytes(data, data + size);  // exact size: overreads are caught

  gdi::DecodedDib dib;
  if (gdi::DecodePackedDib(bytes.data(), bytes.size(), &dib)) {
    if (dib.width <= 0 || dib.height <= 0) std::abort();
    if (dib.pixels.size() != static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height)) std::abort();
    for (uint32_t p : dib.pixels) {
      if (p >> 24) std::abort();
    }
  }

  const ResourceEntry table[] = {{nullptr, 2, 1, bytes.data(), static_cast<DWORD>(size)}};
  InstallResourceTable(table, 1);
  HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  InstallResourceTable(nullptr, 0);
  if (bitmap == nullptr) return 0;

  BITMAP info{};
  if (GetObjectA(bitmap, sizeof info, &info) != sizeof info) std::abort();
  if (info.bmWidth != dib.width || info.bmHeight != dib.height) std::abort();

  HDC source = CreateCompatibleDC(nullptr);
  HDC target = CreateCompatibleDC(nullptr);
  HBITMAP surface = CreateCompatibleBitmap(target, 37, 23);
  HGDIOBJ old_source = SelectObject(source, bitmap);
  HGDIOBJ old_target = SelectObject(target, surface);
  BitBlt(target, -5, -3, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  BitBlt(target, 30, 20, 40, 40, source, info.bmWidth - 7, info.bmHeight - 2, SRCPAINT);
  BitBlt(source, info.bmWidth - 10, info.bmHeight - 10, 37, 23, target, 0, 0, SRCINVERT);
  SelectObject(source, old_source);
  SelectObject(target, old_target);
  DeleteDC(source);
  DeleteDC(target);
  if (!DeleteObject(surface) || !DeleteObject(bitmap)) std::abort();
  return 0;
}
