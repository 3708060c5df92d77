// libFuzzer target: ExtCreateRegion on arbitrary region data.
//
// The input is the whole resource, header and rectangles, handed over with
// its own size as the skin does. A region that is built must agree with
// itself: its bounding box holds every point the region holds, and an empty
// region has no point at all.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<uint8_t> bytes(data, data + size);  // exact size: overreads are caught
  HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>(size), reinterpret_cast<const RGNDATA*>(bytes.data()));
  if (region == nullptr) return 0;

  RECT box;
  int kind = GetRgnBox(region, &box);
  if (kind != NULLREGION && kind != SIMPLEREGION && kind != COMPLEXREGION) std::abort();
  std::vector<RECT> rects;
  if (!gdi_internal::RegionRects(region, &rects)) std::abort();
  if ((kind == NULLREGION) != rects.empty()) std::abort();
  for (const RECT& r : rects) {
    if (r.left >= r.right || r.top >= r.bottom) std::abort();
    if (r.left < box.left || r.top < box.top || r.right > box.right || r.bottom > box.bottom) std::abort();
    // The corners inside the rectangle are in the region; those just outside
    // the box are not.
    if (!PtInRegion(region, r.left, r.top) || !PtInRegion(region, r.right - 1, r.bottom - 1)) std::abort();
  }
  if (kind != NULLREGION) {
    if (box.left != INT32_MIN && PtInRegion(region, box.left - 1, box.top)) std::abort();
    if (PtInRegion(region, box.right, box.bottom - 1)) std::abort();
  }
  if (!DeleteObject(region)) std::abort();
  return 0;
}
