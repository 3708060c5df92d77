// Message routing, window lifetime, queue order and painting.
#include "tests/platform/window_test_support.h"

namespace {

using namespace window_test;

int subclass_calls = 0;
WNDPROC subclass_previous = nullptr;

LRESULT CALLBACK CountingSubclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER) ++subclass_calls;
  return CallWindowProcA(subclass_previous, window, message, wparam, lparam);
}

TEST_F(WindowTest, CreationSendsItsMessagesAndUnknownClassesFail) {
  HWND w = CreateWindowExA(0, "TEST", "hello", WS_POPUP, 10, 20, 30, 40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
  EXPECT_EQ(Log()[2].lparam, MAKELPARAM(30, 40));
  EXPECT_EQ(Log()[3].lparam, MAKELPARAM(10, 20));
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_EQ(CreateWindowExA(0, "nope", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);

  // WM_CREATE answering -1 makes creation fail and destroys the window.
  CurrentHook() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
    if (message != WM_CREATE) return false;
    *result = -1;
    return true;
  };
  Log().clear();
  EXPECT_EQ(CreateWindowExA(0, "test", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(Count(WM_DESTROY), 1);
  EXPECT_FALSE(IsWindow(Log().back().window));
}

TEST_F(WindowTest, SubclassingChainsProceduresAndRestores) {
  HWND w = Shown();
  subclass_calls = 0;
  subclass_previous =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingSubclass)));
  EXPECT_EQ(subclass_previous, &RecordingProc);
  EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(CountingSubclass));

  SendMessageA(w, WM_USER, 1, 2);
  EXPECT_EQ(subclass_calls, 1);
  EXPECT_EQ(Count(WM_USER), 1);  // passed on to the class procedure

  // A null procedure is refused and changes nothing.
  EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, 0), 0);
  EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass_previous)),
            reinterpret_cast<LONG_PTR>(CountingSubclass));
  SendMessageA(w, WM_USER, 0, 0);
  EXPECT_EQ(subclass_calls, 1);
  EXPECT_EQ(Count(WM_USER), 2);
}

TEST_F(WindowTest, PropertiesAreNamedPerWindowWithoutCase) {
  HWND a = Shown();
  HWND b = Shown();
  int x = 0;
  int y = 0;
  EXPECT_TRUE(SetPropA(a, "skin", &x));
  EXPECT_TRUE(SetPropA(b, "skin", &y));
  EXPECT_EQ(GetPropA(a, "SKIN"), &x);
  EXPECT_EQ(GetPropA(b, "skin"), &y);
  EXPECT_EQ(GetPropA(a, "other"), nullptr);
  EXPECT_EQ(RemovePropA(a, "Skin"), &x);
  EXPECT_EQ(GetPropA(a, "skin"), nullptr);
  EXPECT_EQ(RemovePropA(a, "skin"), nullptr);
  EXPECT_FALSE(SetPropA(a, nullptr, &x));
}

TEST_F(WindowTest, SendMessageNestsSynchronously) {
  HWND w = Shown();
  std::vector<int> order;
  CurrentHook() = [&order](HWND window, UINT message, WPARAM wparam, LPARAM, LRESULT* result) {
    if (message != WM_USER) return false;
    order.push_back(static_cast<int>(wparam));
    if (wparam < 3) *result = 10 + SendMessageA(window, WM_USER, wparam + 1, 0);
    else *result = 100;
    order.push_back(-static_cast<int>(wparam));
    return true;
  };
  EXPECT_EQ(SendMessageA(w, WM_USER, 1, 0), 120);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, -3, -2, -1}));
}

TEST_F(WindowTest, DestroyedWindowFailsEveryCallSafely) {
  HWND w = Shown();
  HRGN region = CreateRectRgn(0, 0, 10, 10);
  ASSERT_TRUE(SetWindowRgn(w, region, FALSE));
  PostMessageA(w, WM_USER, 0, 0);
  bool alive_during_destroy = false;
  CurrentHook() = [&alive_during_destroy](HWND window, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_DESTROY) alive_during_destroy = IsWindow(window);
    return false;
  };
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_TRUE(alive_during_destroy);
  EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
  // The window took its region along.
  EXPECT_FALSE(DeleteObject(region));

  Log().clear();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(DestroyWindow(w));
  EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
  EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
  EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingSubclass)), 0);
  EXPECT_FALSE(SetPropA(w, "skin", &w));
  EXPECT_EQ(GetPropA(w, "skin"), nullptr);
  EXPECT_EQ(RemovePropA(w, "skin"), nullptr);
  HRGN other = CreateRectRgn(0, 0, 5, 5);
  EXPECT_EQ(SetWindowRgn(w, other, TRUE), 0);
  EXPECT_TRUE(DeleteObject(other));  // still the caller's
  EXPECT_FALSE(InvalidateRect(w, nullptr, TRUE));
  PAINTSTRUCT paint;
  EXPECT_EQ(BeginPaint(w, &paint), nullptr);
  EXPECT_FALSE(SetWindowTextA(w, "x"));
  char text[8] = "abc";
  EXPECT_EQ(GetWindowTextA(w, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_FALSE(ShowWindow(w, SW_SHOW));
  POINT p{1, 2};
  EXPECT_FALSE(ScreenToClient(w, &p));
  MSG stale{w, WM_USER, 0, 0, 0, {}};
  EXPECT_EQ(DispatchMessageA(&stale), 0);
  // What was posted to it went with it.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(headless::Record(w)->exists);
}

TEST_F(WindowTest, WindowMayDestroyItselfWhileHandlingAMessage) {
  HWND w = Shown();
  CurrentHook() = [](HWND window, UINT message, WPARAM wparam, LPARAM, LRESULT*) {
    if (message == WM_KEYDOWN && wparam == VK_ESCAPE) DestroyWindow(window);
    if (message == WM_DESTROY) PostQuitMessage(0);
    return false;
  };
  headless::PressKey('A');
  headless::PressKey(VK_ESCAPE);
  std::vector<UINT> removed = Drain();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(Count(WM_DESTROY), 1);
  // The quit message is an ordinary message with no window; the key-up of
  // Escape had no window left to go to.
  EXPECT_EQ(removed, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN, WM_QUIT}));
}

TEST_F(WindowTest, CloseRequestArrivesAsWmCloseAndDestroys) {
  HWND w = Shown();
  headless::CloseByWindowManager(w);
  MSG msg;
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_CLOSE);
  EXPECT_EQ(msg.hwnd, w);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(WindowTest, PostedComeBeforeQuitBeforeInputBeforePaint) {
  HWND w = Shown();
  InvalidateRect(w, nullptr, FALSE);
  headless::MovePointer(150, 150);
  PostQuitMessage(3);
  PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(msg.hwnd, nullptr);
  // Something new posted still goes before the waiting input and paint.
  PostMessageA(w, WM_USER + 1, 0, 0);
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_USER + 1u);
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_MOUSEMOVE);
  ASSERT_TRUE(Pass(&msg));
  EXPECT_EQ(msg.message, WM_PAINT);
  EXPECT_FALSE(Pass());
}

TEST_F(WindowTest, PeekWithoutRemovingLeavesTheMessage) {
  HWND w = Shown();
  PostMessageA(w, WM_USER, 7, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, InvalidationsCoalesceIntoOnePaintAndOneFrame) {
  HWND w = Shown();
  int frames = headless::Record(w)->frames;
  RECT a{10, 10, 20, 20};
  RECT b{50, 5, 60, 15};
  InvalidateRect(w, &a, FALSE);
  InvalidateRect(w, &b, TRUE);
  InvalidateRect(w, &a, FALSE);
  RECT painted{};
  BOOL erase_flag = FALSE;
  CurrentHook() = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message != WM_PAINT) return false;
    // Two painters in a row, as a subclass and the procedure it replaced.
    PAINTSTRUCT first;
    HDC dc = BeginPaint(window, &first);
    painted = first.rcPaint;
    erase_flag = first.fErase;
    HGDIOBJ old = SelectObject(dc, CreateSolidBrush(RGB(0x12, 0x34, 0x56)));
    PatBlt(dc, 0, 0, 200, 100, PATCOPY);
    DeleteObject(SelectObject(dc, old));
    EndPaint(window, &first);
    PAINTSTRUCT second;
    BeginPaint(window, &second);
    EXPECT_EQ(second.rcPaint.right, 0);  // nothing left to paint
    EndPaint(window, &second);
    return false;
  };
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_PAINT}));
  EXPECT_EQ(Count(WM_ERASEBKGND), 1);
  EXPECT_EQ(painted.left, 10);
  EXPECT_EQ(painted.top, 5);
  EXPECT_EQ(painted.right, 60);
  EXPECT_EQ(painted.bottom, 20);
  EXPECT_TRUE(erase_flag);  // the class has no brush: erasing is left to the painter
  const headless::WindowRecord* r = headless::Record(w);
  EXPECT_EQ(r->frames, frames + 1);
  ASSERT_EQ(r->frame.size(), 200u * 100u);
  EXPECT_EQ(r->frame[99 * 200 + 199], 0x123456u);
}

TEST_F(WindowTest, DefaultEraseFillsWithTheClassBrush) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "white";
  ASSERT_NE(RegisterClassA(&wc), 0);
  EXPECT_EQ(RegisterClassA(&wc), 0);  // the name is taken
  HWND w = CreateWindowExA(0, "white", "", WS_POPUP | WS_VISIBLE, 0, 0, 4, 3, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(IsWindowVisible(w));
  Drain();
  const headless::WindowRecord* r = headless::Record(w);
  ASSERT_EQ(r->frames, 1);
  EXPECT_EQ(r->frame, std::vector<uint32_t>(12, 0xFFFFFFu));
}

TEST_F(WindowTest, HiddenAndMinimisedWindowsAreNotPainted) {
  HWND w = CreateWindowExA(0, "test", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  InvalidateRect(w, nullptr, TRUE);
  EXPECT_TRUE(Drain().empty());
  ShowWindow(w, SW_SHOW);
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_PAINT}));
  ShowWindow(w, SW_MINIMIZE);
  InvalidateRect(w, nullptr, TRUE);
  EXPECT_EQ(Count(WM_PAINT), 1);
  Drain();
  EXPECT_EQ(Count(WM_PAINT), 1);
  ShowWindow(w, SW_RESTORE);
  Drain();
  EXPECT_EQ(Count(WM_PAINT), 2);
}

TEST_F(WindowTest, PointerMovesCoalesceButKeepTheirPlaceAmongButtons) {
  HWND w = Shown();
  headless::MovePointer(110, 110);
  headless::MovePointer(120, 115);
  headless::MovePointer(130, 120);
  headless::PressButton();
  headless::MovePointer(140, 125);
  headless::MovePointer(150, 130);
  headless::ReleaseButton();
  std::vector<Seen> input;
  CurrentHook() = [&input](HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT*) {
    if (message >= WM_MOUSEMOVE && message <= WM_LBUTTONUP) input.push_back(Seen{window, message, wparam, lparam});
    return false;
  };
  Drain();
  ASSERT_EQ(input.size(), 4u);
  EXPECT_EQ(input[0].window, w);
  EXPECT_EQ(input[0].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(input[0].lparam, MAKELPARAM(30, 20));  // client coordinates
  EXPECT_EQ(input[0].wparam, 0u);
  EXPECT_EQ(input[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(input[1].wparam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(input[2].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(input[2].lparam, MAKELPARAM(50, 30));
  EXPECT_EQ(input[2].wparam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(input[3].message, static_cast<UINT>(WM_LBUTTONUP));
  EXPECT_EQ(input[3].wparam, 0u);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 150);
  EXPECT_EQ(p.y, 130);
}

TEST_F(WindowTest, PointerInputOutsideTheShapeReachesNoWindowButMovesThePointer) {
  HWND w = Shown();
  SetWindowRgn(w, CreateRectRgn(0, 0, 100, 100), TRUE);  // the left half
  Drain();
  Log().clear();
  headless::Click(250, 150);  // right half of the window
  EXPECT_TRUE(Drain().empty());
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 250);
  headless::Click(150, 150);
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(WindowTest, SetCursorPrecedesPointerMessagesAndDefaultUsesTheClassCursor) {
  HWND w = Shown();
  SetCursor(LoadCursorA(nullptr, IDC_HAND));
  headless::MovePointer(120, 120);
  Drain();
  std::vector<UINT> seen = Messages(w);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], static_cast<UINT>(WM_NCHITTEST));
  EXPECT_EQ(seen[1], static_cast<UINT>(WM_SETCURSOR));
  EXPECT_EQ(seen[2], static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(Log()[1].lparam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(headless::CursorShape(), 32512);

  // A procedure that answers WM_SETCURSOR itself keeps its own shape.
  SetCursor(LoadCursorA(nullptr, IDC_HAND));
  CurrentHook() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
    *result = 1;
    return message == WM_SETCURSOR;
  };
  headless::MovePointer(130, 120);
  Drain();
  EXPECT_EQ(headless::CursorShape(), 32649);
}

TEST_F(WindowTest, KeysGoToTheActiveWindowAndTranslateToCharacters) {
  HWND w = Shown();
  headless::PressKey('Q');
  headless::KeyDown(VK_SHIFT);
  headless::PressKey('Q');
  headless::KeyUp(VK_SHIFT);
  std::vector<WPARAM> chars;
  CurrentHook() = [&chars](HWND, UINT message, WPARAM wparam, LPARAM, LRESULT*) {
    if (message == WM_CHAR) chars.push_back(wparam);
    return false;
  };
  Drain();
  EXPECT_EQ(chars, (std::vector<WPARAM>{'q', 'Q'}));
  ASSERT_FALSE(Log().empty());
  EXPECT_EQ(Log().front().window, w);
  EXPECT_EQ(Log().front().message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(Log().front().wparam, static_cast<WPARAM>('Q'));
}

TEST_F(WindowTest, TitleGoesThroughTheProcedureToTheHost) {
  HWND w = Shown();
  EXPECT_TRUE(SetWindowTextA(w, "QUARB II - [ Song ]"));
  EXPECT_EQ(Count(WM_SETTEXT), 1);
  EXPECT_EQ(headless::Record(w)->title, "QUARB II - [ Song ]");
  char small[6];
  EXPECT_EQ(GetWindowTextA(w, small, sizeof small), 5);
  EXPECT_STREQ(small, "QUARB");
}

}  // namespace
