// The state behind the Win32 window calls, shared by the files of this folder,
// and the calls through which a host reports native events.
//
// Windows live in a table keyed by their handle value; handles are never
// reused, so a stale handle simply misses. Anything that calls a window
// procedure may destroy windows, so code holding a Window* looks the handle up
// again after every such call.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/window/host.h"
#include "platform/window/window.h"

namespace winsys {

struct WindowClass {
  std::string name;  // as registered
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  ATOM atom = 0;
};

struct Window {
  HWND handle = nullptr;
  WindowClass cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  LONG_PTR user_data = 0;
  std::string title;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool visible = false;
  bool minimized = false;
  bool destroying = false;

  // Owned region and the rectangles it had when it was given.
  HRGN region = nullptr;
  std::vector<RECT> region_rects;

  // Property names are compared without regard to case, as atoms are.
  std::map<std::string, HANDLE> props;

  // Backing store: a screen bitmap selected into the window's own DC.
  HBITMAP backing = nullptr;
  HDC backing_dc = nullptr;
  HGDIOBJ backing_dc_default = nullptr;

  bool update_pending = false;
  bool erase_pending = false;
  RECT update{};
  bool present_pending = false;
  int paint_dispatch_depth = 0;

  // Native focus as the host last reported it, and when the host reported
  // focus loss that has not been turned into WM_ACTIVATE yet (see Tick).
  bool native_focus = false;
  std::optional<uint64_t> focus_lost_at;
};

// A raw input event from the host, turned into a message when retrieved.
struct InputEvent {
  enum class Kind { kPointerMove, kButtonDown, kButtonUp, kKeyDown, kKeyUp };
  Kind kind = Kind::kPointerMove;
  POINT pos{};        // pointer events: screen coordinates
  int button = 0;     // 0 left, 1 right, 2 middle
  UINT vk = 0;        // key events
  bool repeat = false;
  HWND target = nullptr;  // key events: the window with the host's focus
  DWORD time = 0;
  uint64_t seq = 0;       // order of arrival
};

struct State {
  std::unique_ptr<Host> host;
  std::map<std::string, WindowClass> classes;  // keyed by lower-case name
  std::unordered_map<uintptr_t, std::unique_ptr<Window>> windows;
  std::vector<HWND> z_order;  // front is topmost
  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  bool quit_pending = false;
  int quit_code = 0;
  HWND active = nullptr;
  POINT cursor_pos{};        // position of the last pointer input handled
  POINT message_pos{};       // position at the last message retrieved
  DWORD mouse_keys = 0;      // MK_ button flags of the input handled so far
  bool shift_down = false;
  bool control_down = false;
  HCURSOR cursor = nullptr;
  int move_loop_depth = 0;
};

// How long a focus loss waits for a minimise notice before it counts as
// activation going to another program. X11 window managers report the two
// in either order.
constexpr uint64_t kFocusLossGraceMs = 250;

State& S();
Host& CurrentHost();
Window* Lookup(HWND window);
uintptr_t NewHandleValue();
// Drops every window, class and queued message without sending anything.
void ResetState(std::unique_ptr<Host> host);

// Window system operations shared between the files of this folder.
void Activate(HWND window);
void Deactivate(HWND window, bool minimizing);
void MoveWindowTo(HWND window, int x, int y);
void InvalidateWhole(HWND window, bool erase);
void Present(Window* w);
HWND WindowAtPoint(POINT screen);
LRESULT RunMoveLoop(HWND window);
// Resolves focus losses whose grace has run out.
void Tick();
// Takes note of input handled (pointer position, buttons, modifier keys).
void ConsumeInput(const InputEvent& event);

// Native events, reported by the host from inside Pump().
void NotifyInput(const InputEvent& event);
void NotifyCloseRequest(HWND window);
void NotifyQuitRequest();
// `settled`: the host knows no minimise notice will follow.
void NotifyFocus(HWND window, bool gained, bool settled);
void NotifyMinimized(HWND window, bool minimized);
void NotifyMoved(HWND window, int x, int y);
void NotifyExposed(HWND window);

// Cursor handles: the system id (32512, ...) behind a cursor, or 0.
int CursorSystemId(HCURSOR cursor);
// The icon behind a handle, or null.
const IconImage* IconFromHandle(HICON icon);

std::string LowerCase(const char* text);

}  // namespace winsys
