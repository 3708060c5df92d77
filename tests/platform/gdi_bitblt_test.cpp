#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"

namespace {

// The definition, bit by bit: bit 4P + 2S + D of the index is the result.
// Pixels keep their unused top byte at 0.
uint32_t TruthTable(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (int bit = 0; bit < 24; ++bit) {
    int row = 4 * ((p >> bit) & 1) + 2 * ((s >> bit) & 1) + ((d >> bit) & 1);
    r |= static_cast<uint32_t>((index >> row) & 1) << bit;
  }
  return r;
}

DWORD RopOf(uint8_t index) { return static_cast<DWORD>(index) << 16; }

// A memory DC with its own bitmap of the given size selected.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ original = nullptr;
  int width = 0;
  int height = 0;

  Canvas(int w, int h) : width(w), height(h) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, w, h);
    original = SelectObject(dc, bitmap);
  }
  ~Canvas() {
    SelectObject(dc, original);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  uint32_t* Pixels() { return gdi_internal::BitmapPixels(bitmap, nullptr, nullptr); }
  uint32_t& At(int x, int y) { return Pixels()[y * width + x]; }
  std::vector<uint32_t> Copy() { return std::vector<uint32_t>(Pixels(), Pixels() + width * height); }
  void Randomise(std::mt19937& rng) {
    for (int i = 0; i < width * height; ++i) Pixels()[i] = rng() & 0x00FFFFFF;
  }
  void Fill(uint32_t value) {
    for (int i = 0; i < width * height; ++i) Pixels()[i] = value;
  }
};

// Runs `index` over two random canvases and checks every pixel against the
// truth table with the given pattern.
void ExpectMatchesTruthTable(uint8_t index, HBRUSH brush, uint32_t pattern, std::mt19937& rng) {
  Canvas src(13, 7), dst(13, 7);
  src.Randomise(rng);
  dst.Randomise(rng);
  if (brush) SelectObject(dst.dc, brush);
  std::vector<uint32_t> before = dst.Copy();
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 13, 7, src.dc, 0, 0, RopOf(index)));
  for (int i = 0; i < 13 * 7; ++i) {
    ASSERT_EQ(dst.Pixels()[i], TruthTable(index, pattern, src.Pixels()[i], before[i]))
        << "index 0x" << std::hex << int(index) << " pixel " << std::dec << i;
  }
  if (brush) SelectObject(dst.dc, GetStockObject(WHITE_BRUSH));
}

const uint8_t kTellingIndices[] = {0x00, 0x22, 0x88, 0xAA, 0xCC, 0xEE, 0xFF, 0xF0, 0x5A,
                                   0xB8, 0xE2, 0x0F, 0x55, 0x33, 0x66, 0x44, 0x11, 0xBB,
                                   0xC0, 0xFB, 0x96, 0x01, 0xFE};

TEST(BitBltTest, OperationsFollowTheTruthTableWithTheWhiteAndTheBlackBrush) {
  std::mt19937 rng(1);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  for (uint8_t index : kTellingIndices) {
    ExpectMatchesTruthTable(index, nullptr, 0xFFFFFF, rng);  // a new DC's white brush
    ExpectMatchesTruthTable(index, black, 0, rng);
  }
}

TEST(BitBltTest, EveryOperationFollowsTheTruthTableWithAColouredBrush) {
  std::mt19937 rng(3);
  HBRUSH brush = CreateSolidBrush(RGB(0x12, 0xA5, 0xF0));  // pixel 0x12A5F0
  for (int index = 0; index < 256; ++index) {
    ExpectMatchesTruthTable(static_cast<uint8_t>(index), brush, 0x12A5F0, rng);
  }
  EXPECT_TRUE(DeleteObject(brush));
}

TEST(BitBltTest, OperationsWithoutSourceNeedNoSourceDc) {
  Canvas dst(3, 3);
  dst.Fill(0x123456);
  EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 3, 3, nullptr, 0, 0, DSTINVERT));
  EXPECT_EQ(dst.At(2, 2), 0xEDCBA9u);
  EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 3, 3, nullptr, 0, 0, PATCOPY));
  EXPECT_EQ(dst.At(1, 1), 0xFFFFFFu);
  // Clipped to the destination alone.
  EXPECT_TRUE(PatBlt(dst.dc, -1, 1, 3, 9, BLACKNESS));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dst.At(x, y), (x < 2 && y >= 1) ? 0u : 0xFFFFFFu);
  }
  // An operation that reads the source cannot do without one.
  EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 3, 3, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(PatBlt(dst.dc, 0, 0, 3, 3, SRCCOPY));
}

// Fills the source with distinct values and the destination with a marker,
// blits, and checks that exactly the expected destination pixels changed,
// each to the source pixel at the matching offset.
void ExpectCopiedExactly(int x, int y, int w, int h, int sx, int sy, int dx0, int dy0, int dx1, int dy1) {
  Canvas src(6, 5), dst(8, 7);
  for (int i = 0; i < 30; ++i) src.Pixels()[i] = 0x010000 + i;
  dst.Fill(0xABCDEF);
  ASSERT_TRUE(BitBlt(dst.dc, x, y, w, h, src.dc, sx, sy, SRCCOPY));
  for (int py = 0; py < 7; ++py) {
    for (int px = 0; px < 8; ++px) {
      bool inside = px >= dx0 && px < dx1 && py >= dy0 && py < dy1;
      uint32_t expected = inside ? src.At(px - x + sx, py - y + sy) : 0xABCDEF;
      ASSERT_EQ(dst.At(px, py), expected) << "pixel " << px << "," << py;
    }
  }
}

TEST(BitBltTest, CopiesOnlyThePartInsideBothBitmaps) {
  // Wholly inside.
  ExpectCopiedExactly(1, 1, 3, 2, 2, 1, 1, 1, 4, 3);
  // Negative destination position: the part left of and above 0 is dropped.
  ExpectCopiedExactly(-2, -1, 4, 3, 0, 0, 0, 0, 2, 2);
  // Hanging over the right and bottom of the destination.
  ExpectCopiedExactly(6, 5, 5, 5, 0, 0, 6, 5, 8, 7);
  // Reading from left of and above the source.
  ExpectCopiedExactly(3, 3, 4, 3, -2, -1, 5, 4, 7, 6);
  // Reading past the right and bottom of the source.
  ExpectCopiedExactly(0, 0, 5, 5, 4, 3, 0, 0, 2, 2);
  // Wholly outside the destination, or the source, or negative and huge
  // enough to overflow if added in 32 bits.
  ExpectCopiedExactly(8, 0, 3, 3, 0, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(-3, 0, 3, 3, 0, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(0, 0, 3, 3, 6, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(0, 0, 3, 3, 0, -3, 0, 0, 0, 0);
  ExpectCopiedExactly(2147483600, 0, 100, 3, 0, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(0, 0, 2147483647, 2147483647, -2147483647 - 1, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647, 0, 0, 0, 0, 0, 0);
  // Zero and negative sizes do nothing.
  ExpectCopiedExactly(1, 1, 0, 3, 0, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(1, 1, 3, 0, 0, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(1, 1, -3, 2, 0, 0, 0, 0, 0, 0);
  ExpectCopiedExactly(1, 1, 2, -1, 0, 0, 0, 0, 0, 0);
}

TEST(BitBltTest, OverlappingBlitWithinOneBitmapReadsTheOriginal) {
  Canvas c(5, 5);
  for (int i = 0; i < 25; ++i) c.Pixels()[i] = i;
  std::vector<uint32_t> before = c.Copy();
  // Down and right by one, then the general path up and left by one.
  ASSERT_TRUE(BitBlt(c.dc, 1, 1, 4, 4, c.dc, 0, 0, SRCCOPY));
  for (int y = 1; y < 5; ++y) {
    for (int x = 1; x < 5; ++x) EXPECT_EQ(c.At(x, y), before[(y - 1) * 5 + x - 1]);
  }
  std::vector<uint32_t> middle = c.Copy();
  ASSERT_TRUE(BitBlt(c.dc, 0, 0, 4, 4, c.dc, 1, 1, SRCINVERT));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(c.At(x, y), middle[y * 5 + x] ^ middle[(y + 1) * 5 + x + 1]);
  }
}

TEST(BitBltTest, FillRectPaintsWithTheGivenBrushOnly) {
  Canvas dst(4, 3);
  dst.Fill(0x111111);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT rect{2, -5, 9, 2};
  EXPECT_TRUE(FillRect(dst.dc, &rect, red));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.At(x, y), (x >= 2 && y < 2) ? 0xFF0000u : 0x111111u);
  }
  // The DC keeps its own brush; a hollow brush paints nothing.
  EXPECT_EQ(GetCurrentObject(dst.dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  RECT all{0, 0, 4, 3};
  EXPECT_TRUE(FillRect(dst.dc, &all, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
  EXPECT_EQ(dst.At(0, 0), 0x111111u);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_FALSE(FillRect(dst.dc, &all, red));
}

TEST(BitBltTest, BadHandlesFail) {
  Canvas good(2, 2);
  HDC gone = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(DeleteDC(gone));
  EXPECT_FALSE(BitBlt(gone, 0, 0, 1, 1, good.dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(good.dc, 0, 0, 1, 1, gone, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, good.dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(good.bitmap), 0, 0, 1, 1, good.dc, 0, 0, SRCCOPY));
  EXPECT_FALSE(PatBlt(gone, 0, 0, 1, 1, PATCOPY));
  // Bad handles fail even when the size would make it a no-op.
  EXPECT_FALSE(BitBlt(gone, 0, 0, 0, 0, good.dc, 0, 0, SRCCOPY));
}

}  // namespace
