// The move loop of a caption press, driven by scripted input: everything is
// queued before the press is dispatched, and the loop consumes it.
#include "tests/platform/window_test_support.h"

namespace {

using namespace window_test;

struct DragProbe {
  bool returned = false;
  RECT rect_after{};
  POINT cursor_after{};
};

// Turns every left-button press into a caption press, as the skin does.
void DragOnPress(DragProbe* probe) {
  CurrentHook() = [probe](HWND window, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message != WM_LBUTTONDOWN) return false;
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    probe->returned = true;
    GetWindowRect(window, &probe->rect_after);
    GetCursorPos(&probe->cursor_after);
    return false;
  };
}

TEST_F(WindowTest, WindowFollowsThePointerUntilRelease) {
  HWND w = Shown(100, 100, 200, 100);
  DragProbe probe;
  DragOnPress(&probe);
  headless::MovePointer(150, 120);
  headless::PressButton();
  headless::MovePointer(200, 140);
  headless::PressKey(VK_SPACE);  // keys wait for the program
  headless::MovePointer(250, 170);
  headless::ReleaseButton();
  headless::Click(300, 200);  // a later click, after the drag

  MSG msg;
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_MOUSEMOVE);
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_LBUTTONDOWN);
  // The press returned only after the release, with the window moved by the
  // pointer's travel and the pointer where it was released.
  EXPECT_TRUE(probe.returned);
  EXPECT_EQ(probe.rect_after.left, 200);
  EXPECT_EQ(probe.rect_after.top, 150);
  EXPECT_EQ(probe.cursor_after.x, 250);
  EXPECT_EQ(probe.cursor_after.y, 170);
  EXPECT_EQ(headless::Record(w)->x, 200);
  EXPECT_EQ(headless::Record(w)->y, 150);
  EXPECT_GE(Count(WM_MOVE), 1);

  // The drag's own moves and release are gone; the key and the later click
  // remain, the click now in the moved window's coordinates.
  std::vector<Seen> later;
  CurrentHook() = [&later](HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT*) {
    if (message == WM_KEYDOWN || (message >= WM_MOUSEMOVE && message <= WM_LBUTTONUP))
      later.push_back(Seen{window, message, wparam, lparam});
    return false;
  };
  Drain();
  ASSERT_EQ(later.size(), 4u);
  EXPECT_EQ(later[0].message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(later[1].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(later[2].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(later[2].lparam, MAKELPARAM(100, 50));
  EXPECT_EQ(later[3].message, static_cast<UINT>(WM_LBUTTONUP));
}

TEST_F(WindowTest, PressAndReleaseInPlaceIsAClickThatMovesNothing) {
  HWND w = Shown(312, 261, 400, 246);
  DragProbe probe;
  DragOnPress(&probe);
  headless::Click(312 + 178, 261 + 230);
  Drain();
  EXPECT_TRUE(probe.returned);
  EXPECT_EQ(probe.rect_after.left, 312);
  EXPECT_EQ(probe.rect_after.top, 261);
  POINT p = probe.cursor_after;
  ScreenToClient(w, &p);
  EXPECT_EQ(p.x, 178);
  EXPECT_EQ(p.y, 230);
  EXPECT_EQ(Count(WM_LBUTTONUP), 0);  // the release belonged to the drag
}

TEST_F(WindowTest, DragMayLeaveTheScreen) {
  HWND w = Shown(10, 10, 50, 50);
  DragProbe probe;
  DragOnPress(&probe);
  headless::Drag(20, 20, -100, -5);
  Drain();
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, -110);
  EXPECT_EQ(r.top, -15);
}

TEST_F(WindowTest, ScriptEndingWithoutReleaseEndsTheDrag) {
  HWND w = Shown(0, 0, 50, 50);
  DragProbe probe;
  DragOnPress(&probe);
  headless::MovePointer(10, 10);
  headless::PressButton();
  headless::MovePointer(30, 40);
  Drain();
  EXPECT_TRUE(probe.returned);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 30);
}

TEST_F(WindowTest, OtherPressesDoNotDrag) {
  HWND w = Shown(100, 100, 200, 100);
  // Not a caption press: the default procedure returns at once.
  headless::MovePointer(150, 150);
  headless::PressButton();
  headless::MovePointer(180, 180);
  headless::ReleaseButton();
  Drain();
  EXPECT_EQ(SendMessageA(w, WM_NCLBUTTONDOWN, HTCLIENT, 0), 0);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(Count(WM_LBUTTONUP), 1);
}

}  // namespace
