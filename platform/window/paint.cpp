// Update regions, BeginPaint/EndPaint over the backing store, and handing
// painted frames to the host.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/window/window_system.h"

namespace winsys {
namespace {

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

// The update area is kept as one bounding rectangle: the player always paints
// its whole window, and a larger area is never wrong.
void AddUpdate(Window* w, const RECT* rect, bool erase) {
  RECT client{0, 0, w->width, w->height};
  RECT r = client;
  if (rect != nullptr) {
    r = RECT{std::max(rect->left, client.left), std::max(rect->top, client.top),
             std::min(rect->right, client.right), std::min(rect->bottom, client.bottom)};
  }
  if (Empty(r)) return;
  w->update = w->update_pending ? Union(w->update, r) : r;
  w->update_pending = true;
  if (erase) w->erase_pending = true;
}

}  // namespace

void InvalidateWhole(HWND window, bool erase) {
  if (Window* w = Lookup(window)) AddUpdate(w, nullptr, erase);
}

void Present(Window* w) {
  w->present_pending = false;
  if (!w->visible || w->minimized || w->backing == nullptr) return;
  int width = 0;
  int height = 0;
  const uint32_t* pixels = gdi_internal::BitmapPixels(w->backing, &width, &height);
  if (pixels != nullptr) CurrentHost().Present(w->handle, pixels, width, height);
}

}  // namespace winsys

using namespace winsys;

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (window == nullptr) {
    // Every window, as Windows does for a null window.
    for (HWND h : S().z_order) {
      if (Window* w = Lookup(h)) AddUpdate(w, rect, erase != FALSE);
    }
    return TRUE;
  }
  Window* w = Lookup(window);
  if (!w) return FALSE;
  AddUpdate(w, rect, erase != FALSE);
  return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Window* w = Lookup(window);
  if (!w || paint == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  if (w->update_pending) paint->rcPaint = w->update;
  bool erase = w->erase_pending;
  w->update_pending = false;
  w->erase_pending = false;
  w->update = RECT{};
  if (erase) {
    LRESULT erased = SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(w->backing_dc), 0);
    if ((w = Lookup(window)) == nullptr) return nullptr;
    paint->fErase = erased ? FALSE : TRUE;
  }
  paint->hdc = w->backing_dc;
  if (w->backing_dc != nullptr) w->present_pending = true;
  return w->backing_dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
  Window* w = Lookup(window);
  if (!w) return TRUE;
  // Inside the dispatch of WM_PAINT the frame is shown once the whole
  // procedure chain has painted; elsewhere at once.
  if (w->present_pending && w->paint_dispatch_depth == 0) Present(w);
  return TRUE;
}
