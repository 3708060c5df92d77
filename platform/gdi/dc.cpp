// Memory device contexts and what is selected into them.
#include "platform/gdi/gdi.h"
#include "platform/gdi/objects.h"

HDC CreateCompatibleDC(HDC reference) {
  // Every surface has the screen's format, so the reference only has to exist.
  if (reference != nullptr && !gdi::FindDc(reference)) return nullptr;
  HBITMAP bitmap = gdi::DefaultBitmap();
  HBRUSH brush = gdi::StockBrush(WHITE_BRUSH);
  if (!bitmap || !brush) return nullptr;
  HDC dc = gdi::AddDc(gdi::Dc{bitmap, brush});
  if (dc) gdi::FindBrush(brush)->selected_count++;
  return dc;
}

BOOL DeleteDC(HDC dc) {
  gdi::Dc* state = gdi::FindDc(dc);
  if (!state) return FALSE;
  // What the DC held becomes free to select elsewhere or to delete.
  if (gdi::Bitmap* bitmap = gdi::FindBitmap(state->bitmap); bitmap && bitmap->selected_into == dc) {
    bitmap->selected_into = nullptr;
  }
  if (gdi::Brush* brush = gdi::FindBrush(state->brush)) brush->selected_count--;
  gdi::Remove(dc);
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  gdi::Dc* state = gdi::FindDc(dc);
  if (!state) return nullptr;
  switch (gdi::KindOf(object)) {
    case gdi::Kind::kBitmap: {
      gdi::Bitmap* bitmap = gdi::FindBitmap(object);
      const bool stock = gdi::IsStock(object);
      // A bitmap can be the surface of one DC at a time; stock ones are shared.
      if (!stock && bitmap->selected_into != nullptr && bitmap->selected_into != dc) return nullptr;
      HBITMAP previous = state->bitmap;
      if (gdi::Bitmap* old = gdi::FindBitmap(previous); old && old->selected_into == dc) {
        old->selected_into = nullptr;
      }
      if (!stock) bitmap->selected_into = dc;
      state->bitmap = static_cast<HBITMAP>(object);
      return previous;
    }
    case gdi::Kind::kBrush: {
      HBRUSH previous = state->brush;
      if (gdi::Brush* old = gdi::FindBrush(previous)) old->selected_count--;
      gdi::FindBrush(object)->selected_count++;
      state->brush = static_cast<HBRUSH>(object);
      return previous;
    }
    default:
      // Clip regions and anything else are not kept by a DC here.
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  const gdi::Dc* state = gdi::FindDc(dc);
  if (!state) return nullptr;
  if (type == OBJ_BITMAP) return state->bitmap;
  if (type == OBJ_BRUSH) return state->brush;
  return nullptr;
}
