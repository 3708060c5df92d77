// Classes, windows and their lifetime, procedures, properties, titles, shape
// and visibility.
#include "platform/window/window_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/window/hosts.h"
#include "platform/window/icon_reader.h"

namespace winsys {

std::unique_ptr<Host> MakeHeadlessHost();

namespace {

State& RawState() {
  static State state;
  return state;
}

HWND HandleOf(uintptr_t value) { return reinterpret_cast<HWND>(value); }
uintptr_t ValueOf(HWND window) { return reinterpret_cast<uintptr_t>(window); }

// Class names may be given as atoms.
std::string ClassKey(LPCSTR name) {
  if (IS_INTRESOURCE(name)) {
    ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    for (auto& [key, cls] : RawState().classes) {
      if (cls.atom == atom) return key;
    }
    return std::string();
  }
  return LowerCase(name);
}

std::string PropKey(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
  return LowerCase(name);
}

// Releases what the window owns and forgets it; no messages.
void FreeWindow(HWND handle) {
  State& s = RawState();
  auto it = s.windows.find(ValueOf(handle));
  if (it == s.windows.end()) return;
  std::unique_ptr<Window> w = std::move(it->second);
  s.windows.erase(it);
  if (s.host) s.host->DestroyWindow(handle);
  if (w->region) DeleteObject(w->region);
  if (w->backing_dc) {
    SelectObject(w->backing_dc, w->backing_dc_default);
    DeleteDC(w->backing_dc);
  }
  if (w->backing) DeleteObject(w->backing);
  s.z_order.erase(std::remove(s.z_order.begin(), s.z_order.end(), handle), s.z_order.end());
  std::erase_if(s.posted, [handle](const MSG& m) { return m.hwnd == handle; });
  std::erase_if(s.input, [handle](const InputEvent& e) { return e.target == handle; });
  if (s.active == handle) s.active = nullptr;
}

void RaiseToTop(HWND handle) {
  auto& z = RawState().z_order;
  z.erase(std::remove(z.begin(), z.end(), handle), z.end());
  z.insert(z.begin(), handle);
}

// Makes a hidden window visible: WM_SHOWWINDOW, the host, a full repaint.
void ShowHidden(HWND handle) {
  SendMessageA(handle, WM_SHOWWINDOW, TRUE, 0);
  Window* w = Lookup(handle);
  if (!w || w->visible) return;
  w->visible = true;
  CurrentHost().SetVisible(handle, true);
  InvalidateWhole(handle, true);
}

void Hide(HWND handle) {
  if (Window* w = Lookup(handle); !w || !w->visible) return;
  SendMessageA(handle, WM_SHOWWINDOW, FALSE, 0);
  Window* w = Lookup(handle);
  if (!w || !w->visible) return;
  w->visible = false;
  CurrentHost().SetVisible(handle, false);
  if (S().active == handle) Deactivate(handle, false);
}

void Minimize(HWND handle) {
  Window* w = Lookup(handle);
  if (!w || w->minimized) return;
  w->minimized = true;
  w->focus_lost_at.reset();
  // The program hears that it lost activation to minimising before the host
  // does anything, as Windows sends it from inside ShowWindow.
  if (S().active == handle) Deactivate(handle, true);
  if (!Lookup(handle)) return;
  CurrentHost().Minimize(handle);
  SendMessageA(handle, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Restore(HWND handle) {
  Window* w = Lookup(handle);
  if (!w || !w->minimized) return;
  w->minimized = false;
  CurrentHost().Restore(handle);
  SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->width, w->height));
  InvalidateWhole(handle, true);
}

}  // namespace

State& S() {
  State& s = RawState();
  if (!s.host) s.host = MakeHeadlessHost();
  return s;
}

Host& CurrentHost() { return *S().host; }

Window* Lookup(HWND window) {
  if (window == nullptr) return nullptr;
  State& s = RawState();
  auto it = s.windows.find(ValueOf(window));
  return it == s.windows.end() ? nullptr : it->second.get();
}

uintptr_t NewHandleValue() {
  // Distinct from small integers and never reused, so that a stale or forged
  // handle misses every table.
  static uintptr_t next = 0x10000;
  next += 4;
  return next;
}

void ResetState(std::unique_ptr<Host> host) {
  State& s = RawState();
  std::vector<HWND> all;
  for (auto& [value, w] : s.windows) all.push_back(HandleOf(value));
  for (HWND h : all) FreeWindow(h);
  s.host.reset();
  s = State();
  s.host = std::move(host);
}

std::string LowerCase(const char* text) {
  std::string out = text ? text : "";
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void Activate(HWND handle) {
  State& s = S();
  Window* w = Lookup(handle);
  if (!w || s.active == handle) return;
  HWND previous = s.active;
  s.active = handle;
  w->focus_lost_at.reset();
  RaiseToTop(handle);
  if (Window* p = Lookup(previous)) {
    SendMessageA(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, p->minimized ? 1 : 0),
                 reinterpret_cast<LPARAM>(handle));
  }
  w = Lookup(handle);
  if (!w || s.active != handle) return;
  if (w->visible && !w->minimized) CurrentHost().Activate(handle);
  SendMessageA(handle, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, w->minimized ? 1 : 0),
               reinterpret_cast<LPARAM>(previous));
}

void Deactivate(HWND handle, bool minimizing) {
  State& s = S();
  if (s.active != handle || !Lookup(handle)) return;
  s.active = nullptr;
  SendMessageA(handle, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimizing ? 1 : 0), 0);
}

void MoveWindowTo(HWND handle, int x, int y) {
  Window* w = Lookup(handle);
  if (!w || (w->x == x && w->y == y)) return;
  w->x = x;
  w->y = y;
  CurrentHost().Move(handle, x, y);
  SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(x, y));
}

HWND WindowAtPoint(POINT p) {
  for (HWND h : S().z_order) {
    Window* w = Lookup(h);
    if (!w || !w->visible || w->minimized) continue;
    int cx = p.x - w->x;
    int cy = p.y - w->y;
    if (cx < 0 || cy < 0 || cx >= w->width || cy >= w->height) continue;
    if (w->region) {
      bool inside = false;
      for (const RECT& r : w->region_rects) {
        if (cx >= r.left && cx < r.right && cy >= r.top && cy < r.bottom) {
          inside = true;
          break;
        }
      }
      if (!inside) continue;
    }
    return h;
  }
  return nullptr;
}

}  // namespace winsys

using namespace winsys;

void UseHeadlessHost() { ResetState(MakeHeadlessHost()); }

void ShutdownHost() { ResetState(nullptr); }

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (wc == nullptr || wc->lpfnWndProc == nullptr || wc->lpszClassName == nullptr) return 0;
  if (IS_INTRESOURCE(wc->lpszClassName)) return 0;
  State& s = S();
  std::string key = LowerCase(wc->lpszClassName);
  if (key.empty() || s.classes.count(key)) return 0;
  static ATOM next_atom = 0xC000;
  WindowClass cls;
  cls.name = wc->lpszClassName;
  cls.style = wc->style;
  cls.proc = wc->lpfnWndProc;
  cls.instance = wc->hInstance;
  cls.icon = wc->hIcon;
  cls.cursor = wc->hCursor;
  cls.background = wc->hbrBackground;
  cls.atom = next_atom == 0xFFFF ? 0xC000 : ++next_atom;
  s.classes[key] = cls;
  return cls.atom;
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  State& s = S();
  if (class_name == nullptr) return nullptr;
  auto found = s.classes.find(ClassKey(class_name));
  if (found == s.classes.end()) return nullptr;
  // Child windows are not part of this window system.
  if (style & WS_CHILD) return nullptr;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  width = std::max(width, 0);
  height = std::max(height, 0);

  auto w = std::make_unique<Window>();
  HWND handle = HandleOf(NewHandleValue());
  w->handle = handle;
  w->cls = found->second;
  w->proc = w->cls.proc;
  w->style = style & ~WS_VISIBLE;
  w->ex_style = ex_style;
  w->title = window_name ? window_name : "";
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  if (width > 0 && height > 0) {
    w->backing = gdi_internal::CreateScreenBitmap(width, height);
    if (w->backing == nullptr) return nullptr;
    w->backing_dc = CreateCompatibleDC(nullptr);
    if (w->backing_dc == nullptr) {
      DeleteObject(w->backing);
      return nullptr;
    }
    w->backing_dc_default = SelectObject(w->backing_dc, w->backing);
  }
  Window* raw = w.get();
  s.windows[ValueOf(handle)] = std::move(w);
  s.z_order.insert(s.z_order.begin(), handle);

  HostWindowInfo info;
  info.title = raw->title;
  info.x = x;
  info.y = y;
  info.width = width;
  info.height = height;
  info.borderless = (style & WS_POPUP) || (style & WS_CAPTION) != WS_CAPTION;
  if (!s.host->CreateWindow(handle, info)) {
    FreeWindow(handle);
    return nullptr;
  }
  if (const IconImage* icon = IconFromHandle(raw->cls.icon)) s.host->SetIcon(handle, *icon);

  CREATESTRUCTA cs{};
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cy = height;
  cs.cx = width;
  cs.y = y;
  cs.x = x;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = window_name;
  cs.lpszClass = class_name;
  cs.dwExStyle = ex_style;
  if (!SendMessageA(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    if (Lookup(handle)) {
      SendMessageA(handle, WM_NCDESTROY, 0, 0);
      FreeWindow(handle);
    }
    return nullptr;
  }
  if (!Lookup(handle)) return nullptr;
  if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(x, y));
  if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
  return Lookup(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
  Window* w = Lookup(handle);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  if (w->visible) S().host->SetVisible(handle, false);
  w->visible = false;
  // The window stays valid while it hears of its destruction.
  if (S().active == handle) S().active = nullptr;
  SendMessageA(handle, WM_DESTROY, 0, 0);
  SendMessageA(handle, WM_NCDESTROY, 0, 0);
  FreeWindow(handle);
  return TRUE;
}

BOOL IsWindow(HWND handle) { return Lookup(handle) != nullptr; }

BOOL IsWindowVisible(HWND handle) {
  Window* w = Lookup(handle);
  return w && w->visible;
}

BOOL IsIconic(HWND handle) {
  Window* w = Lookup(handle);
  return w && w->minimized;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
  Window* w = Lookup(handle);
  if (!w || !rect) return FALSE;
  *rect = RECT{w->x, w->y, w->x + w->width, w->y + w->height};
  return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
  Window* w = Lookup(handle);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->width, w->height};
  return TRUE;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  if (proc == nullptr) return 0;
  return proc(handle, message, wparam, lparam);
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* w = Lookup(handle);
  if (!w) return 0;
  WNDPROC proc = w->proc;
  return proc(handle, message, wparam, lparam);
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
  Window* w = Lookup(handle);
  if (!w) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (value == 0) return 0;
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value) & ~WS_VISIBLE;
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG_PTR>(w->ex_style);
      w->ex_style = static_cast<DWORD>(value);
      return previous;
    case GWLP_USERDATA:
      previous = w->user_data;
      w->user_data = value;
      return previous;
    default:
      return 0;
  }
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index) {
  Window* w = Lookup(handle);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0) | (w->minimized ? WS_MINIMIZE : 0));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->ex_style);
    case GWLP_USERDATA:
      return w->user_data;
    default:
      return 0;
  }
}

BOOL SetPropA(HWND handle, LPCSTR name, HANDLE data) {
  Window* w = Lookup(handle);
  if (!w || name == nullptr) return FALSE;
  std::string key = PropKey(name);
  if (key.empty()) return FALSE;
  w->props[key] = data;
  return TRUE;
}

HANDLE GetPropA(HWND handle, LPCSTR name) {
  Window* w = Lookup(handle);
  if (!w || name == nullptr) return nullptr;
  auto it = w->props.find(PropKey(name));
  return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND handle, LPCSTR name) {
  Window* w = Lookup(handle);
  if (!w || name == nullptr) return nullptr;
  auto it = w->props.find(PropKey(name));
  if (it == w->props.end()) return nullptr;
  HANDLE data = it->second;
  w->props.erase(it);
  return data;
}

int SetWindowRgn(HWND handle, HRGN region, BOOL redraw) {
  Window* w = Lookup(handle);
  if (!w) return 0;
  std::vector<RECT> rects;
  if (region != nullptr && !gdi_internal::RegionRects(region, &rects)) return 0;
  HRGN old = w->region;
  w->region = region;
  w->region_rects = std::move(rects);
  if (old != nullptr && old != region) DeleteObject(old);
  S().host->SetShape(handle, region ? &w->region_rects : nullptr);
  if (redraw) InvalidateWhole(handle, true);
  return 1;
}

BOOL SetWindowTextA(HWND handle, LPCSTR text) {
  if (!Lookup(handle)) return FALSE;
  // Through the procedure, as on Windows, so a subclass can see the change.
  return SendMessageA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND handle, LPSTR buffer, int size) {
  Window* w = Lookup(handle);
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  if (!w) return 0;
  size_t n = std::min(w->title.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, w->title.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL ShowWindow(HWND handle, int command) {
  Window* w = Lookup(handle);
  if (!w) return FALSE;
  BOOL was_visible = w->visible ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      Hide(handle);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
      if (!w->visible) ShowHidden(handle);
      Minimize(handle);
      break;
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      if (!w->visible) ShowHidden(handle);
      Restore(handle);
      Activate(handle);
      break;
    case SW_SHOW:
      if (!w->visible) ShowHidden(handle);
      Activate(handle);
      break;
    case SW_SHOWNOACTIVATE:
      if (!w->visible) ShowHidden(handle);
      Restore(handle);
      break;
    case SW_SHOWNA:
      if (!w->visible) ShowHidden(handle);
      break;
    default:
      break;
  }
  return was_visible;
}
