// The message queue: posted messages, WM_QUIT, input from the host and
// WM_PAINT, in that order of priority, and the native events that feed it.
#include <algorithm>
#include <vector>

#include "platform/window/window_system.h"

namespace winsys {
namespace {

uint64_t next_input_seq = 0;

bool InRange(UINT message, UINT low, UINT high) {
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool Matches(const MSG& m, HWND filter, UINT low, UINT high) {
  if (filter == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd != nullptr) return false;
  } else if (filter != nullptr && m.hwnd != filter) {
    return false;
  }
  return InRange(m.message, low, high);
}

DWORD Now32() { return static_cast<DWORD>(CurrentHost().Now()); }

DWORD ModifierKeys() {
  return (S().shift_down ? MK_SHIFT : 0) | (S().control_down ? MK_CONTROL : 0);
}

DWORD ButtonFlag(int button) {
  static const DWORD flags[] = {MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
  return button >= 0 && button < 3 ? flags[button] : 0;
}

UINT PointerMessage(const InputEvent& e, bool client) {
  static const UINT client_down[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static const UINT client_up[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
  static const UINT nc_down[] = {WM_NCLBUTTONDOWN, WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN};
  static const UINT nc_up[] = {WM_NCLBUTTONUP, WM_NCRBUTTONUP, WM_NCMBUTTONUP};
  int b = std::clamp(e.button, 0, 2);
  switch (e.kind) {
    case InputEvent::Kind::kButtonDown:
      return client ? client_down[b] : nc_down[b];
    case InputEvent::Kind::kButtonUp:
      return client ? client_up[b] : nc_up[b];
    default:
      return client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
  }
}

bool IsKey(const InputEvent& e) {
  return e.kind == InputEvent::Kind::kKeyDown || e.kind == InputEvent::Kind::kKeyUp;
}

// The message an input event becomes, with the hit-test code for pointer
// events. False when the event concerns no window of the program.
bool InputToMessage(const InputEvent& e, MSG* msg, LRESULT* hit) {
  *msg = MSG{};
  msg->time = e.time;
  if (IsKey(e)) {
    HWND target = Lookup(e.target) ? e.target : S().active;
    if (!Lookup(target)) return false;
    bool down = e.kind == InputEvent::Kind::kKeyDown;
    msg->hwnd = target;
    msg->message = down ? WM_KEYDOWN : WM_KEYUP;
    msg->wParam = e.vk;
    // Repeat count 1; bit 30 the previous key state, bit 31 the transition.
    DWORD flags = 1;
    if (!down || e.repeat) flags |= 1u << 30;
    if (!down) flags |= 1u << 31;
    msg->lParam = static_cast<LPARAM>(flags);
    msg->pt = S().cursor_pos;
    return true;
  }
  HWND target = WindowAtPoint(e.pos);
  if (!target) return false;
  *hit = SendMessageA(target, WM_NCHITTEST, 0, MAKELPARAM(e.pos.x, e.pos.y));
  Window* w = Lookup(target);
  if (!w || *hit == HTTRANSPARENT || *hit == HTERROR) return false;
  bool client = *hit == HTCLIENT;
  msg->hwnd = target;
  msg->message = PointerMessage(e, client);
  msg->pt = e.pos;
  if (client) {
    DWORD keys = S().mouse_keys;
    if (e.kind == InputEvent::Kind::kButtonDown) keys |= ButtonFlag(e.button);
    if (e.kind == InputEvent::Kind::kButtonUp) keys &= ~ButtonFlag(e.button);
    msg->wParam = keys | ModifierKeys();
    msg->lParam = MAKELPARAM(e.pos.x - w->x, e.pos.y - w->y);
  } else {
    msg->wParam = static_cast<WPARAM>(*hit);
    msg->lParam = MAKELPARAM(e.pos.x, e.pos.y);
  }
  return true;
}

// Removes the event at the head of the input queue if it is still `e` (a
// procedure called while it was turned into a message may have taken it).
void PopInput(const InputEvent& e) {
  auto& input = S().input;
  if (!input.empty() && input.front().seq == e.seq) input.pop_front();
}

}  // namespace

void ConsumeInput(const InputEvent& e) {
  State& s = S();
  switch (e.kind) {
    case InputEvent::Kind::kPointerMove:
      s.cursor_pos = e.pos;
      break;
    case InputEvent::Kind::kButtonDown:
      s.cursor_pos = e.pos;
      s.mouse_keys |= ButtonFlag(e.button);
      break;
    case InputEvent::Kind::kButtonUp:
      s.cursor_pos = e.pos;
      s.mouse_keys &= ~ButtonFlag(e.button);
      break;
    case InputEvent::Kind::kKeyDown:
    case InputEvent::Kind::kKeyUp: {
      bool down = e.kind == InputEvent::Kind::kKeyDown;
      if (e.vk == VK_SHIFT) s.shift_down = down;
      if (e.vk == VK_CONTROL) s.control_down = down;
      break;
    }
  }
}

void NotifyInput(const InputEvent& event) {
  State& s = S();
  InputEvent e = event;
  e.time = Now32();
  e.seq = ++next_input_seq;
  // Pointer moves that nobody has looked at yet merge into the latest one.
  if (e.kind == InputEvent::Kind::kPointerMove && !s.input.empty() &&
      s.input.back().kind == InputEvent::Kind::kPointerMove) {
    s.input.back().pos = e.pos;
    s.input.back().time = e.time;
    return;
  }
  s.input.push_back(e);
}

void NotifyCloseRequest(HWND window) {
  if (Lookup(window)) PostMessageA(window, WM_CLOSE, 0, 0);
}

void NotifyQuitRequest() {
  std::vector<HWND> all = S().z_order;
  for (HWND h : all) NotifyCloseRequest(h);
}

void NotifyFocus(HWND window, bool gained, bool settled) {
  Window* w = Lookup(window);
  if (!w) return;
  if (gained) {
    w->native_focus = true;
    w->focus_lost_at.reset();
    // A minimised window takes activation when it is restored.
    if (w->visible && !w->minimized) Activate(window);
    return;
  }
  w->native_focus = false;
  if (S().active != window) return;
  if (w->minimized) {
    Deactivate(window, true);
  } else if (settled) {
    Deactivate(window, false);
  } else if (!w->focus_lost_at) {
    // A minimise notice may still follow; Tick decides once the grace is over.
    w->focus_lost_at = CurrentHost().Now();
  }
}

void NotifyMinimized(HWND window, bool minimized) {
  Window* w = Lookup(window);
  // A hidden window is not minimised, whatever the host makes of its unmapping.
  if (!w || w->minimized == minimized || !w->visible) return;
  w->minimized = minimized;
  if (minimized) {
    w->focus_lost_at.reset();
    if (S().active == window) Deactivate(window, true);
    SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
    return;
  }
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->width, w->height));
  InvalidateWhole(window, true);
  if ((w = Lookup(window)) && w->native_focus) Activate(window);
}

void NotifyMoved(HWND window, int x, int y) {
  // While the move loop drives the window, the host's reports lag behind it.
  if (S().move_loop_depth > 0) return;
  Window* w = Lookup(window);
  if (!w || (w->x == x && w->y == y)) return;
  w->x = x;
  w->y = y;
  SendMessageA(window, WM_MOVE, 0, MAKELPARAM(x, y));
}

void NotifyExposed(HWND window) { InvalidateWhole(window, false); }

void Tick() {
  State& s = S();
  uint64_t now = s.host->Now();
  std::vector<HWND> due;
  for (auto& [value, w] : s.windows) {
    if (w->focus_lost_at && now - *w->focus_lost_at >= kFocusLossGraceMs) {
      w->focus_lost_at.reset();
      due.push_back(w->handle);
    }
  }
  for (HWND h : due) {
    Window* w = Lookup(h);
    if (w && !w->minimized && s.active == h) Deactivate(h, false);
  }
}

}  // namespace winsys

using namespace winsys;

BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window != nullptr && !Lookup(window)) return FALSE;
  State& s = S();
  s.posted.push_back(MSG{window, message, wparam, lparam, Now32(), s.cursor_pos});
  return TRUE;
}

void PostQuitMessage(int exit_code) {
  State& s = S();
  s.quit_pending = true;
  s.quit_code = exit_code;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filter_min, UINT filter_max, UINT remove_flags) {
  if (msg == nullptr) return FALSE;
  State& s = S();
  s.host->Pump();
  Tick();
  bool remove = (remove_flags & PM_REMOVE) != 0;

  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (!Matches(*it, window, filter_min, filter_max)) continue;
    *msg = *it;
    if (remove) {
      s.posted.erase(it);
      s.message_pos = msg->pt;
    }
    return TRUE;
  }

  if (s.quit_pending && InRange(WM_QUIT, filter_min, filter_max)) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quit_code), 0, Now32(), s.cursor_pos};
    if (remove) s.quit_pending = false;
    return TRUE;
  }

  while (!s.input.empty()) {
    InputEvent e = s.input.front();
    MSG m;
    LRESULT hit = HTNOWHERE;
    if (!InputToMessage(e, &m, &hit)) {
      // Input outside every window of the program: it only moves the pointer.
      PopInput(e);
      ConsumeInput(e);
      continue;
    }
    if (!Matches(m, window, filter_min, filter_max)) break;
    if (remove) {
      PopInput(e);
      ConsumeInput(e);
      s.message_pos = m.pt;
      if (!IsKey(e)) {
        SendMessageA(m.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(m.hwnd),
                     MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(m.message)));
      }
    }
    *msg = m;
    return TRUE;
  }

  for (HWND h : s.z_order) {
    Window* w = Lookup(h);
    if (!w || !w->visible || w->minimized || !w->update_pending) continue;
    MSG m{h, WM_PAINT, 0, 0, Now32(), s.cursor_pos};
    if (!Matches(m, window, filter_min, filter_max)) continue;
    *msg = m;
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr) return FALSE;
  if (msg->message == WM_KEYUP) return TRUE;
  if (msg->message != WM_KEYDOWN) return FALSE;
  const State& s = S();
  WPARAM vk = msg->wParam;
  int ch = 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (s.control_down) {
      ch = static_cast<int>(vk - 'A' + 1);
    } else {
      ch = static_cast<int>(s.shift_down ? vk : vk - 'A' + 'a');
    }
  } else if (vk >= '0' && vk <= '9') {
    ch = static_cast<int>(vk);
  } else if (vk == VK_SPACE) {
    ch = ' ';
  } else if (vk == VK_RETURN) {
    ch = '\r';
  } else if (vk == VK_ESCAPE) {
    ch = 0x1B;
  } else if (vk == VK_BACK) {
    ch = 0x08;
  } else if (vk == VK_TAB) {
    ch = '\t';
  }
  if (ch != 0) PostMessageA(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  HWND h = msg->hwnd;
  Window* w = Lookup(h);
  if (!w) return 0;
  WNDPROC proc = w->proc;
  if (msg->message != WM_PAINT) return proc(h, msg->message, msg->wParam, msg->lParam);
  // Everything painted while WM_PAINT is dispatched (by every procedure of a
  // subclass chain) is shown once, afterwards.
  ++w->paint_dispatch_depth;
  LRESULT result = proc(h, msg->message, msg->wParam, msg->lParam);
  if ((w = Lookup(h)) != nullptr && --w->paint_dispatch_depth == 0 && w->present_pending) Present(w);
  return result;
}
