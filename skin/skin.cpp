#include "skin/skin.h"

namespace {

const char kSkinProperty[] = "skin";
const char kSkinError[] = "Unable to retrieve the skin.";

}  // namespace

CSkin::CSkin(WORD region_id, WORD bitmap_id) {
  attached = false;
  previous_proc = nullptr;
  HINSTANCE module = GetModuleHandleA(nullptr);
  bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(bitmap_id));
  if (bitmap == nullptr) throw kSkinError;

  BITMAP description{};
  GetObjectA(bitmap, sizeof description, &description);
  width = description.bmWidth;
  height = description.bmHeight;

  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(region_id), "BINARY");
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  if (loaded == nullptr) {
    Release();
    throw kSkinError;
  }
  region = ExtCreateRegion(nullptr, SizeofResource(module, found),
                           static_cast<const RGNDATA*>(LockResource(loaded)));
  FreeResource(loaded);
  if (region == nullptr) {
    Release();
    throw kSkinError;
  }

  surface = CreateCompatibleDC(nullptr);
  if (surface == nullptr) {
    Release();
    throw kSkinError;
  }
  previous_object = SelectObject(surface, bitmap);
}

CSkin::~CSkin() {
  Detach();
  Release();
}

// Frees what the object still owns; also the clean-up of a failed constructor.
void CSkin::Release() {
  if (surface != nullptr) {
    SelectObject(surface, previous_object);
    DeleteDC(surface);
    surface = nullptr;
  }
  if (bitmap != nullptr) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (region != nullptr && !region_given) {
    DeleteObject(region);
    region = nullptr;
  }
}

bool CSkin::Attach(HWND target) {
  if (attached) Detach();
  window = target;
  if (SetWindowRgn(window, region, TRUE)) region_given = true;
  previous_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSkin::SkinWindowProc)));
  if (!SetPropA(window, kSkinProperty, this)) {
    SetWindowRgn(window, nullptr, TRUE);
    if (previous_proc != nullptr) {
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc));
    }
    RemovePropA(window, kSkinProperty);
    attached = false;
    return false;
  }
  attached = previous_proc != nullptr;
  InvalidateRect(window, nullptr, TRUE);
  return attached;
}

bool CSkin::Detach() {
  if (!attached) return true;
  SetWindowRgn(window, nullptr, TRUE);
  LONG_PTR restored = SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc));
  RemovePropA(window, kSkinProperty);
  attached = restored == 0;
  InvalidateRect(window, nullptr, TRUE);
  return !attached;
}

bool CSkin::RequestRepaint() {
  if (!attached) return false;
  InvalidateRect(window, nullptr, TRUE);
  return true;
}

LRESULT CALLBACK CSkin::SkinWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CSkin* skin = static_cast<CSkin*>(GetPropA(window, kSkinProperty));
  if (skin == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BitBlt(dc, 0, 0, skin->Width(), skin->Height(), skin->Surface(), 0, 0, SRCCOPY);
    EndPaint(window, &paint);
  } else if (message == WM_LBUTTONDOWN) {
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
  return CallWindowProcA(skin->previous_proc, window, message, wparam, lparam);
}
