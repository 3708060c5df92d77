// The headless host: a virtual 1024 by 768 screen for tests. A test scripts
// what the user, other programs and the window manager do, and reads back
// what the program did. Scripted events are queued and reach the window
// system at the program's next PeekMessageA (or inside a move loop, which
// consumes queued pointer input, so a press, moves and a release may all be
// queued before the press is dispatched). Pointer positions are in screen
// coordinates. GetCursorPos reports the position of the last pointer input
// the window system handled. Sleep advances a virtual clock and returns at
// once. All calls do nothing unless UseHeadlessHost() is in effect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/window.h"

namespace headless {

// The user.
void MovePointer(int x, int y);
void PressButton(int button = 0);  // 0 left, 1 right, 2 middle, where the pointer was last moved
void ReleaseButton(int button = 0);
void Click(int x, int y);  // move there, press and release the left button
void Drag(int from_x, int from_y, int to_x, int to_y);
void KeyDown(UINT vk);
void KeyUp(UINT vk);
void PressKey(UINT vk);

// The display refuses new windows (as when it runs out of resources) until
// told otherwise; CreateWindowExA then fails.
void RefuseWindowCreation(bool refuse);

// Other programs and the window manager.
void ActivateOtherWindow();  // another program takes activation from ours
void ActivateWindow(HWND window);
enum class MinimizeOrder { kFocusLossFirst, kMinimizeFirst };
// The window manager minimises the window; its notices of focus loss and
// minimising arrive in the given order, as X11 reports them either way.
void MinimizeByWindowManager(HWND window, MinimizeOrder order = MinimizeOrder::kFocusLossFirst);
void RestoreByWindowManager(HWND window);
void CloseByWindowManager(HWND window);
// Single notices for finer scripts. A focus loss noticed alone waits for a
// minimise notice until the clock has moved past the grace.
void NoticeFocusLost(HWND window);
void NoticeFocusGained(HWND window);
void NoticeMinimized(HWND window);
void NoticeRestored(HWND window);

void AdvanceClock(uint64_t milliseconds);
uint64_t Clock();

// What the program did.
struct WindowRecord {
  bool exists = false;
  std::string title;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool visible = false;
  bool minimized = false;
  bool focused = false;
  bool shaped = false;
  std::vector<RECT> shape;  // window coordinates
  int frames = 0;           // frames presented
  int frame_width = 0;
  int frame_height = 0;
  std::vector<uint32_t> frame;  // the last one, XRGB, top-down
  bool has_icon = false;
  std::vector<uint32_t> icon;  // 32 by 32 ARGB
};
// Null for a handle the host never saw; destroyed windows keep their record.
const WindowRecord* Record(HWND window);
// The system id of the pointer shape last set (32512 arrow, 32649 hand), or
// 0 when none is shown.
int CursorShape();
int CursorChanges();

struct MessageBoxRecord {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
};
// Every box shown; each returned IDOK at once.
const std::vector<MessageBoxRecord>& MessageBoxes();

// One line per host call, such as "show", "title QUARB II", "move 312,261".
const std::vector<std::string>& CallLog();
void ClearCallLog();

}  // namespace headless
