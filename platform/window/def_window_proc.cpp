// The default window procedure: what the player relies on when it passes a
// message on.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/window/window_system.h"

using namespace winsys;

namespace {

// Fills the window's backing store with the class background brush.
LRESULT EraseBackground(Window* w, HDC dc) {
  if (w->cls.background == nullptr || dc == nullptr) return 0;
  HGDIOBJ previous = SelectObject(dc, w->cls.background);
  if (previous == nullptr) return 0;
  PatBlt(dc, 0, 0, w->width, w->height, PATCOPY);
  SelectObject(dc, previous);
  return 1;
}

LRESULT SetClassCursor(Window* w, LPARAM lparam) {
  short hit = static_cast<short>(LOWORD(lparam));
  if (hit == HTCLIENT) {
    if (w->cls.cursor == nullptr) return FALSE;
    SetCursor(w->cls.cursor);
    return TRUE;
  }
  if (hit == HTERROR) return FALSE;
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  return TRUE;
}

}  // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* w = Lookup(window);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_NCLBUTTONDOWN:
      // A press on the caption moves the window with the pointer until the
      // button is released; only then does the message return.
      if (static_cast<LRESULT>(wparam) == HTCAPTION) return RunMoveLoop(window);
      return 0;
    case WM_NCHITTEST: {
      int x = GET_X_LPARAM(lparam) - w->x;
      int y = GET_Y_LPARAM(lparam) - w->y;
      return x >= 0 && y >= 0 && x < w->width && y < w->height ? HTCLIENT : HTNOWHERE;
    }
    case WM_SETCURSOR:
      return SetClassCursor(w, lparam);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return EraseBackground(w, reinterpret_cast<HDC>(wparam));
    case WM_SETTEXT:
      w->title = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
      CurrentHost().SetTitle(window, w->title);
      return TRUE;
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lparam);
      if (buffer == nullptr || wparam == 0) return 0;
      size_t n = std::min(w->title.size(), static_cast<size_t>(wparam - 1));
      std::memcpy(buffer, w->title.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->title.size());
    default:
      return 0;
  }
}
