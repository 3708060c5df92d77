// Shared by the window system's tests: a fresh headless host per test, a
// window class whose procedure records every message, and a message pump.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/win32.h"
#include "platform/window/headless.h"
#include "platform/window/hosts.h"

namespace window_test {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

inline std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}

// Lets a test react to a message before the default handling; returning true
// skips DefWindowProcA and gives `result`.
using Hook = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT* result)>;
inline Hook& CurrentHook() {
  static Hook hook;
  return hook;
}

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Log().push_back(Seen{window, message, wparam, lparam});
  LRESULT result = 0;
  if (CurrentHook() && CurrentHook()(window, message, wparam, lparam, &result)) return result;
  return DefWindowProcA(window, message, wparam, lparam);
}

inline std::vector<UINT> Messages(HWND window) {
  std::vector<UINT> out;
  for (const Seen& s : Log()) {
    if (s.window == window) out.push_back(s.message);
  }
  return out;
}

inline int Count(UINT message) {
  int n = 0;
  for (const Seen& s : Log()) n += s.message == message;
  return n;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseHeadlessHost();
    Log().clear();
    CurrentHook() = nullptr;
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "test";
    ASSERT_NE(RegisterClassA(&wc), 0);
  }
  void TearDown() override {
    CurrentHook() = nullptr;
    UseHeadlessHost();
  }

  // A shown popup window at (100, 100), 200 by 100, painted once, with the
  // log cleared.
  HWND Shown(int x = 100, int y = 100, int width = 200, int height = 100) {
    HWND w = CreateWindowExA(0, "test", "title", WS_POPUP, x, y, width, height, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    ShowWindow(w, SW_SHOW);
    Drain();
    Log().clear();
    return w;
  }

  // Removes and dispatches one message, as the player's loop does per pass.
  bool Pass(MSG* out = nullptr) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (out) *out = msg;
    return true;
  }

  // Dispatches until the queue is empty; the messages removed, in order.
  std::vector<UINT> Drain() {
    std::vector<UINT> removed;
    MSG msg;
    for (int guard = 0; guard < 1000 && Pass(&msg); ++guard) removed.push_back(msg.message);
    return removed;
  }
};

}  // namespace window_test
