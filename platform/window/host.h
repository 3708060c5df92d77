// The backend behind the window system: where windows appear and where input
// comes from. The window system keeps every piece of Win32 state itself and
// tells the host what to show; the host hands native events back through the
// Notify* calls of window_system.h, and only from inside Pump().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_types.h"

namespace winsys {

struct IconImage;

struct HostWindowInfo {
  std::string title;  // 8-bit text as the program set it
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool borderless = true;
};

class Host {
 public:
  virtual ~Host() = default;

  // A native window for `window`, hidden. False when it cannot be made.
  virtual bool CreateWindow(HWND window, const HostWindowInfo& info) = 0;
  virtual void DestroyWindow(HWND window) = 0;
  virtual void SetVisible(HWND window, bool visible) = 0;
  virtual void Minimize(HWND window) = 0;
  virtual void Restore(HWND window) = 0;
  // Brings the window to the front and gives it the input focus.
  virtual void Activate(HWND window) = 0;
  virtual void Move(HWND window, int x, int y) = 0;
  virtual void SetTitle(HWND window, const std::string& title) = 0;
  virtual void SetIcon(HWND window, const IconImage& icon) = 0;
  // The window's shape as rectangles in window coordinates; null: no shape.
  virtual void SetShape(HWND window, const std::vector<RECT>* rects) = 0;
  // Shows a painted frame: top-down rows of XRGB pixels with no padding.
  virtual void Present(HWND window, const uint32_t* pixels, int width, int height) = 0;

  // The pointer shape over the program's windows: a system cursor id
  // (32512 arrow, 32649 hand, ...) or 0 for none.
  virtual void SetCursorShape(int system_id) = 0;
  // The pointer now, in screen coordinates, and whether the left button is
  // down. False when the host cannot tell; the window system then uses the
  // position of the last pointer input it handled.
  virtual bool QueryPointer(POINT* position, bool* left_down) = 0;

  // Hands pending native events to the window system. Never blocks.
  virtual void Pump() = 0;
  // Waits up to `milliseconds` for a native event. False when no event can
  // ever come without the program doing something (a scripted host).
  virtual bool WaitForEvent(int milliseconds) = 0;
  // Milliseconds on the host's clock.
  virtual uint64_t Now() = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  virtual SIZE ScreenSize() = 0;
  // Shows a modal message box; the result is IDOK, IDCANCEL, IDYES or IDNO,
  // or 0 when no box could be shown.
  virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
};

}  // namespace winsys
