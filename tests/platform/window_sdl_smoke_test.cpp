// The SDL host on a real X server (Xvfb with openbox): a shaped 400 by 246
// window shows what was painted, carries its title and position, follows a
// drag, hears keys, and reports activation the way the player relies on.
// Read back with xwd, xwininfo and xprop; driven with xdotool.
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <regex>
#include <thread>

#include "tests/platform/window_test_support.h"
#include "tests/platform/xvfb_session.h"
#include "tests/support/process.h"

namespace {

using namespace window_test;
using namespace std::chrono_literals;
using test_process::Shell;

constexpr int kWidth = 400;
constexpr int kHeight = 246;
// Colours of the four quadrants painted, and the cut-out top-right corner.
constexpr uint32_t kTopLeft = 0xC02010;
constexpr uint32_t kTopRight = 0x20C010;
constexpr uint32_t kBottomLeft = 0x1020C0;
constexpr uint32_t kBottomRight = 0xC0C020;
constexpr int kCut = 40;

struct Seen {
  std::vector<WPARAM> activations;
  std::vector<WPARAM> keys;
  int paints = 0;
  int closes = 0;
} seen;

void Fill(HDC dc, int x, int y, int w, int h, uint32_t xrgb) {
  HBRUSH brush = CreateSolidBrush(RGB(xrgb >> 16, (xrgb >> 8) & 0xFF, xrgb & 0xFF));
  HGDIOBJ old = SelectObject(dc, brush);
  PatBlt(dc, x, y, w, h, PATCOPY);
  SelectObject(dc, old);
  DeleteObject(brush);
}

LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      Fill(dc, 0, 0, kWidth / 2, kHeight / 2, kTopLeft);
      Fill(dc, kWidth / 2, 0, kWidth / 2, kHeight / 2, kTopRight);
      Fill(dc, 0, kHeight / 2, kWidth / 2, kHeight / 2, kBottomLeft);
      Fill(dc, kWidth / 2, kHeight / 2, kWidth / 2, kHeight / 2, kBottomRight);
      EndPaint(window, &paint);
      seen.paints++;
      return 0;
    }
    case WM_LBUTTONDOWN:
      // A press anywhere drags the window, as on the player's skin.
      SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      break;
    case WM_ACTIVATE:
      seen.activations.push_back(wparam);
      break;
    case WM_KEYDOWN:
      seen.keys.push_back(wparam);
      break;
    case WM_CLOSE:
      seen.closes++;
      break;
    case WM_SETCURSOR:
      return 1;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// A region of two rectangles: the window without its top-right corner.
HRGN CornerCutRegion() {
  struct {
    RGNDATAHEADER header;
    RECT rects[2];
  } data{};
  data.header.dwSize = sizeof(RGNDATAHEADER);
  data.header.iType = RDH_RECTANGLES;
  data.header.nCount = 2;
  data.header.nRgnSize = sizeof data.rects;
  data.header.rcBound = RECT{0, 0, kWidth, kHeight};
  data.rects[0] = RECT{0, 0, kWidth - kCut, kCut};
  data.rects[1] = RECT{0, kCut, kWidth, kHeight};
  return ExtCreateRegion(nullptr, sizeof data, reinterpret_cast<const RGNDATA*>(&data));
}

// One pass of a player-like loop: one message, then a 10 ms sleep.
void Pass() {
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  Sleep(10);
}

// Runs passes until `done` holds or about five seconds have gone by.
bool PassUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    Pass();
  }
  return done();
}

void Passes(int n) {
  for (int i = 0; i < n; ++i) Pass();
}

struct Geometry {
  std::string id;
  int x = -1;
  int y = -1;
  int width = -1;
  int height = -1;
  bool viewable = false;
};

int Field(const std::string& text, const std::string& label) {
  std::smatch m;
  if (std::regex_search(text, m, std::regex(label + R"(:\s+(-?\d+))"))) return std::stoi(m[1]);
  return -1;
}

Geometry Query(const std::string& name) {
  std::string out = Shell("xwininfo -name '" + name + "' 2>/dev/null");
  Geometry g;
  std::smatch m;
  if (std::regex_search(out, m, std::regex(R"(Window id: (0x[0-9a-f]+))"))) g.id = m[1];
  g.x = Field(out, "Absolute upper-left X");
  g.y = Field(out, "Absolute upper-left Y");
  g.width = Field(out, "Width");
  g.height = Field(out, "Height");
  g.viewable = out.find("IsViewable") != std::string::npos;
  return g;
}

// The whole screen as 0xRRGGBB values, from xwd through xwdtopnm.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Screenshot TakeScreenshot() {
  Screenshot shot;
  // Bytes as they come: a trailing line-end byte may be a sample.
  std::string ppm = test_process::Run({"/bin/sh", "-c", "xwd -root -silent | xwdtopnm"}, {}, 30s).out;
  // "P6", width, height and the largest sample value, each followed by
  // whitespace, then three samples per pixel: bytes up to 255, else 16-bit
  // big-endian (xwdtopnm picks 65535 for some visuals).
  size_t at = 0;
  auto token = [&ppm, &at]() {
    while (at < ppm.size() && std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
    size_t begin = at;
    while (at < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
    return ppm.substr(begin, at - begin);
  };
  if (token() != "P6") return shot;
  int width = std::atoi(token().c_str());
  int height = std::atoi(token().c_str());
  int maxval = std::atoi(token().c_str());
  if (width <= 0 || height <= 0 || maxval <= 0 || maxval > 65535) return shot;
  size_t sample = maxval < 256 ? 1 : 2;
  size_t offset = at + 1;
  if (ppm.size() < offset + static_cast<size_t>(width) * height * 3 * sample) return shot;
  shot.width = width;
  shot.height = height;
  shot.pixels.resize(static_cast<size_t>(width) * height);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(ppm.data()) + offset;
  auto eight_bits = [maxval, sample](const unsigned char* q) {
    unsigned v = sample == 1 ? q[0] : (q[0] << 8) | q[1];
    return (v * 255 + maxval / 2) / maxval;
  };
  for (size_t i = 0; i < shot.pixels.size(); ++i, p += 3 * sample) {
    shot.pixels[i] = (eight_bits(p) << 16) | (eight_bits(p + sample) << 8) | eight_bits(p + 2 * sample);
  }
  return shot;
}

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!xvfb_.Start(&why)) GTEST_SKIP() << "the SDL host needs an X server, and none could be started: " << why;
    seen = Seen{};
    UseSdlHost();
    WNDCLASSA wc{};
    wc.lpfnWndProc = PatternProc;
    wc.lpszClassName = "pattern";
    ASSERT_NE(RegisterClassA(&wc), 0);
  }
  void TearDown() override {
    // The display connection goes before the server does.
    ShutdownHost();
    UseHeadlessHost();
    xvfb_.Stop();
  }

  // The centred, shaped, shown window, once X shows it and it has painted.
  HWND OpenWindow() {
    int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    HWND w = CreateWindowExA(0, "pattern", "QUARB II", WS_POPUP, x, y, kWidth, kHeight, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(w, nullptr);
    EXPECT_TRUE(SetWindowRgn(w, CornerCutRegion(), TRUE));
    ShowWindow(w, SW_SHOW);
    EXPECT_TRUE(PassUntil([] { return seen.paints > 0 && Query("QUARB II").viewable; }));
    Passes(20);
    return w;
  }

  XvfbSession xvfb_;
};

TEST_F(SdlHostTest, ShapedWindowShowsItsPictureTitleAndPlace) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  HWND w = OpenWindow();
  ASSERT_TRUE(IsWindow(w));

  Geometry g = Query("QUARB II");
  EXPECT_EQ(g.x, 312);
  EXPECT_EQ(g.y, 261);
  EXPECT_EQ(g.width, kWidth);
  EXPECT_EQ(g.height, kHeight);

  Screenshot shot = TakeScreenshot();
  ASSERT_EQ(shot.width, 1024) << "no screenshot from xwd | xwdtopnm";
  EXPECT_EQ(shot.At(312 + 100, 261 + 60), kTopLeft);
  EXPECT_EQ(shot.At(312 + 300, 261 + 60), kTopRight);
  EXPECT_EQ(shot.At(312 + 100, 261 + 200), kBottomLeft);
  EXPECT_EQ(shot.At(312 + 300, 261 + 200), kBottomRight);
  EXPECT_EQ(shot.At(312, 261), kTopLeft);
  EXPECT_EQ(shot.At(312 + kWidth - 1, 261 + kHeight - 1), kBottomRight);
  // The region cut the corner away: the screen behind shows there.
  EXPECT_NE(shot.At(312 + kWidth - 10, 261 + 10), kTopRight);
  EXPECT_EQ(shot.At(312 + kWidth - kCut - 1, 261 + 10), kTopRight);
  EXPECT_NE(shot.At(311, 261), kTopLeft);

  std::string name = Shell("xprop -id " + g.id + " _NET_WM_NAME WM_NAME");
  EXPECT_NE(name.find("\"QUARB II\""), std::string::npos) << name;
  // Titles are 8-bit Western text; X gets them in UTF-8.
  SetWindowTextA(w, "QUARB II - [ Caf\xE9 ]");
  Passes(5);
  name = Shell("xprop -id " + g.id + " _NET_WM_NAME");
  EXPECT_NE(name.find("\"QUARB II - [ Caf\xC3\xA9 ]\""), std::string::npos) << name;
}

TEST_F(SdlHostTest, DragKeysAndActivationThroughTheWindowManager) {
  HWND w = OpenWindow();
  Geometry g = Query("QUARB II");
  ASSERT_FALSE(g.id.empty());

  // The user drags the window by 100, 50; xdotool has finished before the
  // program sees the press, so the move loop finds the button released.
  Shell("xdotool mousemove 412 361 mousedown 1 mousemove 462 381 mousemove 512 411 mouseup 1");
  EXPECT_TRUE(PassUntil([] {
    Geometry now = Query("QUARB II");
    return now.x == 412 && now.y == 311;
  })) << "window at " << Query("QUARB II").x << "," << Query("QUARB II").y;
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 412);
  EXPECT_EQ(r.top, 311);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 512);
  EXPECT_EQ(p.y, 411);

  Shell("xdotool key --window " + g.id + " Escape");
  EXPECT_TRUE(PassUntil([] { return !seen.keys.empty(); }));
  EXPECT_EQ(seen.keys, (std::vector<WPARAM>{VK_ESCAPE}));

  // Minimised by the window manager, the window hears a deactivation that
  // says so, and never a plain one, however X orders its reports.
  ASSERT_FALSE(seen.activations.empty());
  EXPECT_EQ(seen.activations.back(), static_cast<WPARAM>(WA_ACTIVE));
  seen.activations.clear();
  Shell("xdotool windowminimize " + g.id);
  EXPECT_TRUE(PassUntil([w] { return IsIconic(w) != FALSE; }));
  Passes(60);  // past the focus-loss grace
  ASSERT_EQ(seen.activations.size(), 1u);
  EXPECT_EQ(LOWORD(seen.activations[0]), WA_INACTIVE);
  EXPECT_NE(HIWORD(seen.activations[0]), 0);

  seen.activations.clear();
  Shell("xdotool windowactivate " + g.id);
  EXPECT_TRUE(PassUntil([w] { return !IsIconic(w) && !seen.activations.empty(); }));
  EXPECT_EQ(seen.activations, (std::vector<WPARAM>{WA_ACTIVE}));

  // Another program takes activation: a plain deactivation, whole wparam 0.
  seen.activations.clear();
  pid_t other = test_process::Spawn({"xmessage", "-name", "other", "-geometry", "+0+0", "another program"}, {});
  bool focused_other = false;
  for (int i = 0; i < 50 && !focused_other; ++i) {
    focused_other = Shell("xdotool search --name '^other$' windowactivate 2>&1").find("ailed") ==
                    std::string::npos;
    Passes(10);
  }
  EXPECT_TRUE(PassUntil([] { return !seen.activations.empty(); }));
  Passes(40);
  EXPECT_EQ(seen.activations, (std::vector<WPARAM>{0}));
  test_process::Stop(other);
}

TEST_F(SdlHostTest, ProgramMinimiseAndRestoreKeepTheWindowManagerInStep) {
  HWND w = OpenWindow();
  seen.activations.clear();
  ShowWindow(w, SW_MINIMIZE);
  ASSERT_EQ(seen.activations.size(), 1u);  // sent from inside ShowWindow
  EXPECT_NE(HIWORD(seen.activations[0]), 0);
  EXPECT_TRUE(PassUntil([] { return !Query("QUARB II").viewable; }));
  Passes(60);
  EXPECT_EQ(seen.activations.size(), 1u);  // X's own reports add nothing

  ShowWindow(w, SW_RESTORE);
  EXPECT_TRUE(PassUntil([] { return Query("QUARB II").viewable; }));
  Passes(30);
  EXPECT_EQ(seen.activations.back(), static_cast<WPARAM>(WA_ACTIVE));
  for (WPARAM a : seen.activations) EXPECT_NE(a, 0u);

  // The window manager's close arrives as WM_CLOSE, whose default handling
  // destroys the window.
  ASSERT_TRUE(RequestClose(Query("QUARB II").id));
  EXPECT_TRUE(PassUntil([w] { return !IsWindow(w); }));
  EXPECT_EQ(seen.closes, 1);
  EXPECT_TRUE(PassUntil([] { return Query("QUARB II").id.empty(); }));
}

}  // namespace
