// Icons, cursors, regions, message boxes and the text handed to the display.
#include <cstring>

#include "platform/window/icon_reader.h"
#include "platform/window/text_encoding.h"
#include "tests/platform/window_test_support.h"

namespace {

using namespace window_test;

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// An .ico file with one entry of `side` pixels and `bits` bits. Pixel (x, y)
// from the top is BGRA (x, y, 0x80, alpha); the AND mask marks the top-left
// pixel transparent.
std::vector<uint8_t> Icon(int side = 32, int bits = 32, uint8_t alpha = 0, bool with_mask = true) {
  size_t pixels = static_cast<size_t>(side) * side * 4;
  size_t mask = with_mask ? static_cast<size_t>(side) * 4 : 0;
  size_t image = 40 + pixels + mask;
  std::vector<uint8_t> b(6 + 16 + image, 0);
  Put16(b, 2, 1);
  Put16(b, 4, 1);
  b[6] = static_cast<uint8_t>(side);
  b[7] = static_cast<uint8_t>(side);
  Put16(b, 6 + 6, static_cast<uint16_t>(bits));
  Put32(b, 6 + 8, static_cast<uint32_t>(image));
  Put32(b, 6 + 12, 22);
  Put32(b, 22, 40);
  Put32(b, 26, static_cast<uint32_t>(side));
  Put32(b, 30, static_cast<uint32_t>(2 * side));
  Put16(b, 34, 1);
  Put16(b, 36, static_cast<uint16_t>(bits));
  for (int y = 0; y < side; ++y) {
    size_t row = 62 + static_cast<size_t>(side - 1 - y) * side * 4;  // bottom-up
    for (int x = 0; x < side; ++x) {
      uint8_t* p = &b[row + x * 4];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 0x80;
      p[3] = alpha;
    }
  }
  if (with_mask) b[62 + pixels + static_cast<size_t>(side - 1) * 4] = 0x80;  // top row, first pixel
  return b;
}

TEST(IconReaderTest, ReadsBgraRowsTopDownWithTheMaskAsAlpha) {
  std::vector<uint8_t> file = Icon();
  winsys::IconImage image;
  ASSERT_TRUE(winsys::ReadIcon32(file.data(), file.size(), &image));
  ASSERT_EQ(image.argb.size(), 32u * 32u);
  EXPECT_EQ(image.argb[0], 0x00800000u);               // (0, 0): masked out
  EXPECT_EQ(image.argb[1], 0xFF800001u);               // (1, 0)
  EXPECT_EQ(image.argb[31 * 32 + 5], 0xFF801F05u);     // (5, 31)

  // Pixels with their own alpha keep it.
  file = Icon(32, 32, 0x7F);
  ASSERT_TRUE(winsys::ReadIcon32(file.data(), file.size(), &image));
  EXPECT_EQ(image.argb[0], 0x7F800000u);
}

TEST(IconReaderTest, RefusesOtherImagesAndDamagedFilesWithoutReadingPastThem) {
  winsys::IconImage image;
  std::vector<uint8_t> sixteen = Icon(16);
  EXPECT_FALSE(winsys::ReadIcon32(sixteen.data(), sixteen.size(), &image));
  std::vector<uint8_t> eight_bit = Icon(32, 8);
  EXPECT_FALSE(winsys::ReadIcon32(eight_bit.data(), eight_bit.size(), &image));

  // Every truncation of a good file, copied so that a read past the end is
  // a read past the allocation.
  std::vector<uint8_t> good = Icon(32, 32, 0, false);
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_FALSE(winsys::ReadIcon32(cut.data(), cut.size(), &image)) << n;
  }
  std::vector<uint8_t> bad_offset = Icon();
  Put32(bad_offset, 6 + 12, 0xFFFFFFF0u);
  EXPECT_FALSE(winsys::ReadIcon32(bad_offset.data(), bad_offset.size(), &image));
  std::vector<uint8_t> bad_size = Icon();
  Put32(bad_size, 6 + 8, 0xFFFFFFF0u);
  EXPECT_FALSE(winsys::ReadIcon32(bad_size.data(), bad_size.size(), &image));
  std::vector<uint8_t> many = Icon();
  Put16(many, 4, 0xFFFF);
  EXPECT_FALSE(winsys::ReadIcon32(many.data(), many.size(), &image));
}

TEST_F(WindowTest, ClassIconFromTheModuleReachesTheWindow) {
  static std::vector<uint8_t> file = Icon();
  static ResourceEntry table[] = {{nullptr, 14, 109, file.data(), static_cast<DWORD>(file.size())}};
  InstallResourceTable(table, 1);
  HINSTANCE module = GetModuleHandleA(nullptr);
  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(109));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCEA(109)), icon);
  EXPECT_EQ(LoadIconA(module, MAKEINTRESOURCEA(110)), nullptr);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(109)), nullptr);

  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.hIcon = icon;
  wc.lpszClassName = "disk";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "disk", "QUARB II", WS_POPUP, 0, 0, 4, 4, nullptr, nullptr, module, nullptr);
  const headless::WindowRecord* r = headless::Record(w);
  ASSERT_TRUE(r->has_icon);
  EXPECT_EQ(r->icon[1], 0xFF800001u);
  InstallResourceTable(nullptr, 0);
}

TEST_F(WindowTest, SystemCursorsAreSharedAndOnlyChangesReachTheHost) {
  HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(hand, nullptr);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NE(hand, arrow);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), hand);
  EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), IDC_HAND), nullptr);
  EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);

  int changes = headless::CursorChanges();
  EXPECT_EQ(SetCursor(hand), nullptr);
  for (int pass = 0; pass < 5; ++pass) EXPECT_EQ(SetCursor(hand), hand);
  EXPECT_EQ(headless::CursorShape(), 32649);
  EXPECT_EQ(SetCursor(arrow), hand);
  EXPECT_EQ(headless::CursorShape(), 32512);
  EXPECT_EQ(headless::CursorChanges(), changes + 2);
  // Something that is not a cursor is refused.
  EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(0x1234)), nullptr);
  EXPECT_EQ(headless::CursorShape(), 32512);
  EXPECT_EQ(SetCursor(nullptr), arrow);
  EXPECT_EQ(headless::CursorShape(), 0);
}

TEST_F(WindowTest, RegionIsOwnedByTheWindowOnceGiven) {
  HWND w = Shown();
  HRGN first = CreateRectRgn(0, 0, 200, 100);
  HRGN second = CreateRectRgn(0, 0, 50, 50);
  ASSERT_TRUE(SetWindowRgn(w, first, TRUE));
  ASSERT_TRUE(SetWindowRgn(w, second, TRUE));
  EXPECT_FALSE(DeleteObject(first));  // deleted when replaced
  const headless::WindowRecord* r = headless::Record(w);
  ASSERT_TRUE(r->shaped);
  ASSERT_EQ(r->shape.size(), 1u);
  EXPECT_EQ(r->shape[0].right, 50);
  // Setting the same region again keeps it.
  ASSERT_TRUE(SetWindowRgn(w, second, FALSE));
  RECT box;
  EXPECT_EQ(GetRgnBox(second, &box), SIMPLEREGION);
  // A dead region is refused and the shape stays.
  EXPECT_EQ(SetWindowRgn(w, first, TRUE), 0);
  EXPECT_TRUE(headless::Record(w)->shaped);
  ASSERT_TRUE(SetWindowRgn(w, nullptr, TRUE));
  EXPECT_FALSE(headless::Record(w)->shaped);
  EXPECT_FALSE(DeleteObject(second));
}

TEST_F(WindowTest, MessageBoxIsRecordedAndAnsweredWithoutAWindow) {
  EXPECT_EQ(MessageBoxA(nullptr, "Unable to init BASS", "Oh my...", 0x30), IDOK);
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(headless::MessageBoxes()[0].text, "Unable to init BASS");
  EXPECT_EQ(headless::MessageBoxes()[0].caption, "Oh my...");
  EXPECT_EQ(headless::MessageBoxes()[0].type, 0x30u);
  EXPECT_EQ(headless::MessageBoxes()[0].owner, nullptr);
}

TEST_F(WindowTest, ScreenIsTheVirtualOneAndSleepOnlyMovesItsClock) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  uint64_t before = headless::Clock();
  Sleep(10);
  EXPECT_EQ(headless::Clock(), before + 10);
  RECT r{173, 227, 183, 237};
  EXPECT_TRUE(PtInRect(&r, POINT{173, 227}));
  EXPECT_FALSE(PtInRect(&r, POINT{183, 230}));
  EXPECT_FALSE(PtInRect(&r, POINT{175, 237}));
}

TEST(TextEncodingTest, WesternCodePageBecomesUtf8) {
  EXPECT_EQ(winsys::Cp1252ToUtf8("QUARB II"), "QUARB II");
  EXPECT_EQ(winsys::Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(winsys::Cp1252ToUtf8("\x80\x99"), "\xE2\x82\xAC\xE2\x84\xA2");
  EXPECT_EQ(winsys::Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
