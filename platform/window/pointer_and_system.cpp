// Pointer position and shape, icons, screen size, message boxes and Sleep.
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/resources.h"
#include "platform/window/icon_reader.h"
#include "platform/window/window_system.h"

namespace winsys {
namespace {

constexpr int kSystemCursorIds[] = {32512, 32513, 32514, 32515, 32646, 32648, 32649};

// Cursors and icons outlive host changes: the program may hold their handles.
std::unordered_map<uintptr_t, int>& CursorIds() {
  static std::unordered_map<uintptr_t, int> ids;
  return ids;
}

std::unordered_map<uintptr_t, IconImage>& Icons() {
  static std::unordered_map<uintptr_t, IconImage> icons;
  return icons;
}

// Loading the same icon resource again gives the same handle.
std::map<std::pair<const void*, DWORD>, uintptr_t>& IconsBySource() {
  static std::map<std::pair<const void*, DWORD>, uintptr_t> sources;
  return sources;
}

}  // namespace

int CursorSystemId(HCURSOR cursor) {
  auto it = CursorIds().find(reinterpret_cast<uintptr_t>(cursor));
  return it == CursorIds().end() ? 0 : it->second;
}

const IconImage* IconFromHandle(HICON icon) {
  auto it = Icons().find(reinterpret_cast<uintptr_t>(icon));
  return it == Icons().end() ? nullptr : &it->second;
}

}  // namespace winsys

using namespace winsys;

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  // Only the shared system cursors exist; programs carry no cursor resources.
  if (instance != nullptr || name == nullptr || !IS_INTRESOURCE(name)) return nullptr;
  int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
  bool known = false;
  for (int system_id : kSystemCursorIds) known = known || system_id == id;
  if (!known) return nullptr;
  for (auto& [value, system_id] : CursorIds()) {
    if (system_id == id) return reinterpret_cast<HCURSOR>(value);
  }
  uintptr_t value = NewHandleValue();
  CursorIds()[value] = id;
  return reinterpret_cast<HCURSOR>(value);
}

HCURSOR SetCursor(HCURSOR cursor) {
  if (cursor != nullptr && CursorSystemId(cursor) == 0) return nullptr;
  State& s = S();
  HCURSOR previous = s.cursor;
  if (cursor != previous) {
    s.cursor = cursor;
    s.host->SetCursorShape(CursorSystemId(cursor));
  }
  return previous;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  // No system icons: only icon resources of the program's module.
  if (instance == nullptr || name == nullptr || !IS_INTRESOURCE(name)) return nullptr;
  HRSRC found = FindResourceA(instance, name, RT_GROUP_ICON);
  if (found == nullptr) return nullptr;
  const void* bytes = LockResource(LoadResource(instance, found));
  DWORD size = SizeofResource(instance, found);
  if (bytes == nullptr) return nullptr;
  auto key = std::make_pair(bytes, size);
  auto cached = IconsBySource().find(key);
  if (cached != IconsBySource().end()) return reinterpret_cast<HICON>(cached->second);
  IconImage image;
  if (!ReadIcon32(static_cast<const uint8_t*>(bytes), size, &image)) return nullptr;
  uintptr_t value = NewHandleValue();
  Icons()[value] = std::move(image);
  IconsBySource()[key] = value;
  return reinterpret_cast<HICON>(value);
}

BOOL GetCursorPos(LPPOINT point) {
  if (point == nullptr) return FALSE;
  State& s = S();
  POINT live;
  bool left_down = false;
  *point = s.host->QueryPointer(&live, &left_down) ? live : s.cursor_pos;
  return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
  Window* w = Lookup(window);
  if (!w || point == nullptr) return FALSE;
  point->x -= w->x;
  point->y -= w->y;
  return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
  if (rect == nullptr) return FALSE;
  return point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

int GetSystemMetrics(int index) {
  SIZE screen = CurrentHost().ScreenSize();
  switch (index) {
    case SM_CXSCREEN:
      return screen.cx;
    case SM_CYSCREEN:
      return screen.cy;
    default:
      return 0;
  }
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return CurrentHost().MessageBox(Lookup(owner) ? owner : nullptr, text ? text : "", caption ? caption : "Error",
                                  type);
}

void Sleep(DWORD milliseconds) { CurrentHost().Sleep(milliseconds); }
