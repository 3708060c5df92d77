// Regions: a list of non-empty rectangles whose union is the region.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/objects.h"

namespace {

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// `rects` points at `count` packed RECTs, which need not be aligned.
HRGN AddRects(const void* rects, size_t count) {
  gdi::Region region;
  try {
    for (size_t i = 0; i < count; ++i) {
      RECT r;
      std::memcpy(&r, static_cast<const char*>(rects) + i * sizeof r, sizeof r);
      if (IsEmpty(r)) continue;
      if (region.rects.empty()) {
        region.bounds = r;
      } else {
        region.bounds.left = std::min(region.bounds.left, r.left);
        region.bounds.top = std::min(region.bounds.top, r.top);
        region.bounds.right = std::max(region.bounds.right, r.right);
        region.bounds.bottom = std::max(region.bounds.bottom, r.bottom);
      }
      region.rects.push_back(r);
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return gdi::AddRegion(std::move(region));
}

}  // namespace

HRGN ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data) {
  // Transformed regions are not supported; the player never asks for one.
  if (transform != nullptr || data == nullptr) return nullptr;
  if (size < sizeof(RGNDATAHEADER)) return nullptr;
  RGNDATAHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES) return nullptr;
  // 64 bits, so that no count can wrap the size check.
  if (uint64_t{header.nCount} * sizeof(RECT) > size - sizeof(RGNDATAHEADER)) return nullptr;
  return AddRects(reinterpret_cast<const char*>(data) + sizeof(RGNDATAHEADER), header.nCount);
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // Windows accepts the corners in either order.
  RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  return AddRects(&r, 1);
}

int GetRgnBox(HRGN region, LPRECT box) {
  const gdi::Region* r = gdi::FindRegion(region);
  if (!r || !box) return 0;
  *box = r->bounds;
  if (r->rects.empty()) return NULLREGION;
  return r->rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

BOOL PtInRegion(HRGN region, int x, int y) {
  const gdi::Region* r = gdi::FindRegion(region);
  if (!r) return FALSE;
  for (const RECT& rect : r->rects) {
    if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) return TRUE;
  }
  return FALSE;
}

namespace gdi_internal {

bool RegionRects(HRGN region, std::vector<RECT>* rects) {
  const gdi::Region* r = gdi::FindRegion(region);
  if (!r) return false;
  if (rects) *rects = r->rects;
  return true;
}

}  // namespace gdi_internal
