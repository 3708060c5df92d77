#include "app/main_window.h"

#include <cstdio>

#include "app/shell_state.h"
#include "skin/skin.h"

HWND CreateMainWindow(int width, int height, const char* class_name, const char* title) {
  WNDCLASSA window_class{};
  window_class.style = CS_OWNDC;
  window_class.lpfnWndProc = MainWindowProc;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = 0;
  window_class.hInstance = instance_handle;
  window_class.hIcon = LoadIconA(instance_handle, MAKEINTRESOURCEA(kIconResourceId));
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window_class.lpszMenuName = nullptr;
  window_class.lpszClassName = class_name;
  RegisterClassA(&window_class);  // a failed registration makes creation fail

  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return CreateWindowExA(0, class_name, title, WS_POPUP, x, y, width, height, nullptr, nullptr,
                         instance_handle, nullptr);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ACTIVATE:
      // The whole wparam is 0 only when activation went to another window
      // and this one is not minimised.
      inactive = wparam == 0 ? 1 : 0;
      UpdateWindowTitle();
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (skin != nullptr) BitBlt(dc, 0, 0, skin->Width(), skin->Height(), skin->Surface(), 0, 0, SRCCOPY);
      EndPaint(window, &paint);
      break;
    }
    case WM_NCLBUTTONDOWN:
      clicked = 1;
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_SETCURSOR:
      // The main loop sets the pointer shape on every pass; the class cursor
      // must not override it.
      return 1;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) DestroyWindow(window);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void UpdateWindowTitle() {
  char title[1000];
  if (inactive != 0 && current_entry != nullptr) {
    std::snprintf(title, sizeof title, "%s - [ %s ]", kWindowTitle, current_entry->title);
    SetWindowTextA(main_window, title);
  } else {
    SetWindowTextA(main_window, kWindowTitle);
  }
}
