#include "data/masked_blit.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace {

// A memory DC with a fresh bitmap of the given pixels selected.
struct Canvas {
  Canvas(int w, int h, uint32_t fill = 0) : width(w), height(h) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = gdi_internal::CreateScreenBitmap(w, h);
    previous = SelectObject(dc, bitmap);
    Fill(fill);
  }
  ~Canvas() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  uint32_t* Pixels() {
    int w, h;
    return gdi_internal::BitmapPixels(bitmap, &w, &h);
  }
  void Fill(uint32_t value) {
    for (int i = 0; i < width * height; ++i) Pixels()[i] = value;
  }
  void Randomise(std::mt19937& rng) {
    for (int i = 0; i < width * height; ++i) Pixels()[i] = rng() & 0x00FFFFFF;
  }
  std::vector<uint32_t> Copy() { return std::vector<uint32_t>(Pixels(), Pixels() + width * height); }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ previous;
};

// A bitmap not selected anywhere, for use as a mask.
struct MaskBitmap {
  MaskBitmap(int w, int h, uint32_t fill) {
    bitmap = gdi_internal::CreateScreenBitmap(w, h);
    int bw, bh;
    uint32_t* p = gdi_internal::BitmapPixels(bitmap, &bw, &bh);
    for (int i = 0; i < w * h; ++i) p[i] = fill;
  }
  ~MaskBitmap() { DeleteObject(bitmap); }
  HBITMAP bitmap;
};

TEST(SwapRopSourceDest, ExchangesTheSourceAndDestinationBits) {
  EXPECT_EQ(SwapRopSourceDest(0xAA), 0xCCu);
  EXPECT_EQ(SwapRopSourceDest(0xCC), 0xAAu);
  for (uint32_t unchanged : {0x00u, 0x88u, 0xEEu, 0xF0u, 0xFFu, 0x66u}) {
    EXPECT_EQ(SwapRopSourceDest(unchanged), unchanged) << std::hex << unchanged;
  }
  EXPECT_EQ(SwapRopSourceDest(0x122), 0x44u) << "only the low 8 bits count";
  // The swapped operation, applied to (P, D, S), equals the original on (P, S, D).
  for (uint32_t index = 0; index < 256; ++index) {
    uint32_t swapped = SwapRopSourceDest(index);
    for (int p = 0; p < 2; ++p)
      for (int s = 0; s < 2; ++s)
        for (int d = 0; d < 2; ++d)
          ASSERT_EQ((index >> (4 * p + 2 * s + d)) & 1, (swapped >> (4 * p + 2 * d + s)) & 1);
    EXPECT_EQ(SwapRopSourceDest(swapped), index);
  }
}

TEST(TernaryRopTable, HoldsEveryOperationByIndex) {
  for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(TernaryRopTable[i] >> 16, i);
  EXPECT_EQ(TernaryRopTable[0x00], 0x00000042u);
  EXPECT_EQ(TernaryRopTable[0x22], 0x00220326u);
  EXPECT_EQ(TernaryRopTable[0x88], static_cast<uint32_t>(SRCAND));
  EXPECT_EQ(TernaryRopTable[0xAA], 0x00AA0029u);
  EXPECT_EQ(TernaryRopTable[0xCC], static_cast<uint32_t>(SRCCOPY));
  EXPECT_EQ(TernaryRopTable[0xEE], static_cast<uint32_t>(SRCPAINT));
  EXPECT_EQ(TernaryRopTable[0xFF], 0x00FF0062u);
  // The other named operations sit at their indices too.
  for (DWORD rop : {SRCINVERT, SRCERASE, NOTSRCCOPY, NOTSRCERASE, MERGECOPY, MERGEPAINT, PATCOPY,
                    PATPAINT, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS}) {
    EXPECT_EQ(TernaryRopTable[(rop >> 16) & 0xFF], static_cast<uint32_t>(rop)) << std::hex << rop;
  }
}

class MaskedBlitTest : public ::testing::Test {
 protected:
  std::mt19937 rng{42};
};

TEST_F(MaskedBlitTest, WithoutAMaskOnlyTheForegroundApplies) {
  Canvas dest(8, 8), source(8, 8);
  dest.Randomise(rng);
  source.Randomise(rng);
  std::vector<uint32_t> d0 = dest.Copy(), s0 = source.Copy();
  // High byte 0x00 would blacken the background if it applied.
  EXPECT_NE(MaskedBlit(dest.dc, 0, 0, 8, 8, source.dc, 0, 0, nullptr, 0, 0, 0x00EE0086), 0);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(dest.Pixels()[i], d0[i] | s0[i]);
}

TEST_F(MaskedBlitTest, SelectsForegroundOrBackgroundBitByBit) {
  Canvas dest(6, 5), source(6, 5);
  dest.Randomise(rng);
  source.Randomise(rng);
  std::vector<uint32_t> d0 = dest.Copy(), s0 = source.Copy();

  MaskBitmap ones(6, 5, 0x00FFFFFF);
  MaskedBlit(dest.dc, 0, 0, 6, 5, source.dc, 0, 0, ones.bitmap, 0, 0, 0xAACC0020);
  EXPECT_EQ(dest.Copy(), s0) << "an all-ones mask copies the source";

  dest.Fill(0);
  for (int i = 0; i < 30; ++i) dest.Pixels()[i] = d0[i];
  MaskBitmap zeros(6, 5, 0);
  MaskedBlit(dest.dc, 0, 0, 6, 5, source.dc, 0, 0, zeros.bitmap, 0, 0, 0xAACC0020);
  EXPECT_EQ(dest.Copy(), d0) << "an all-zeros mask leaves the destination";

  // A mixed mask: (F AND M) OR (B AND NOT M), here with F = source AND dest
  // and B = NOT dest (index 0x55).
  MaskBitmap mixed(6, 5, 0x00F0F00F);
  MaskedBlit(dest.dc, 0, 0, 6, 5, source.dc, 0, 0, mixed.bitmap, 0, 0, 0x558800C6);
  for (int i = 0; i < 30; ++i) {
    uint32_t m = 0x00F0F00F;
    uint32_t expected = ((s0[i] & d0[i]) & m) | (~d0[i] & ~m);
    EXPECT_EQ(dest.Pixels()[i] & 0x00FFFFFF, expected & 0x00FFFFFF) << i;
  }
}

TEST_F(MaskedBlitTest, TheSourceAsItsOwnMaskOrsItIn) {
  // As the font is drawn: the page selected into a DC is the source, and a
  // second bitmap of the same pixels (a bitmap is selected into one DC at a
  // time) is the mask.
  Canvas dest(7, 7), page(7, 7);
  MaskBitmap mask(7, 7, 0);
  int w, h;
  uint32_t* mask_pixels = gdi_internal::BitmapPixels(mask.bitmap, &w, &h);
  dest.Randomise(rng);
  for (int i = 0; i < 49; ++i) mask_pixels[i] = page.Pixels()[i] = (rng() & 1) ? 0x00FFFFFF : 0;
  std::vector<uint32_t> d0 = dest.Copy(), p0 = page.Copy();
  MaskedBlit(dest.dc, 0, 0, 7, 7, page.dc, 0, 0, mask.bitmap, 0, 0, 0xAACC0020);
  for (int i = 0; i < 49; ++i) EXPECT_EQ(dest.Pixels()[i], d0[i] | p0[i]);
  std::vector<uint32_t> once = dest.Copy();
  MaskedBlit(dest.dc, 0, 0, 7, 7, page.dc, 0, 0, mask.bitmap, 0, 0, 0xAACC0020);
  EXPECT_EQ(dest.Copy(), once) << "a second identical call changes nothing";
}

TEST_F(MaskedBlitTest, KeepingTheDestinationAsBackgroundWorksForEveryForeground) {
  // The font's case, background 0xAA, with every foreground operation and a
  // random mask: (F AND M) OR (D AND NOT M), F seeing the white pattern of a
  // new context.
  Canvas dest(9, 6), source(9, 6), expected(9, 6);
  MaskBitmap mask(9, 6, 0);
  int w, h;
  uint32_t* m = gdi_internal::BitmapPixels(mask.bitmap, &w, &h);
  source.Randomise(rng);
  for (uint32_t index = 0; index < 256; ++index) {
    dest.Randomise(rng);
    for (int i = 0; i < 54; ++i) m[i] = rng() & 0x00FFFFFF;
    const std::vector<uint32_t> d0 = dest.Copy();
    for (int i = 0; i < 54; ++i) expected.Pixels()[i] = d0[i];
    BitBlt(expected.dc, 0, 0, 9, 6, source.dc, 0, 0, TernaryRopTable[index]);  // F alone
    MaskedBlit(dest.dc, 0, 0, 9, 6, source.dc, 0, 0, mask.bitmap, 0, 0, 0xAA000000 | TernaryRopTable[index]);
    for (int i = 0; i < 54; ++i) {
      ASSERT_EQ(dest.Pixels()[i], ((expected.Pixels()[i] & m[i]) | (d0[i] & ~m[i])) & 0x00FFFFFF)
          << "operation " << std::hex << index << ", pixel " << std::dec << i;
    }
  }

  // Where the source rectangle runs off its bitmap, there is nothing to draw
  // and the destination stays.
  MaskBitmap ones(9, 6, 0x00FFFFFF);
  dest.Randomise(rng);
  const std::vector<uint32_t> d0 = dest.Copy();
  MaskedBlit(dest.dc, 0, 0, 9, 6, source.dc, 4, 0, ones.bitmap, 0, 0, 0xAACC0020);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(dest.Pixels()[y * 9 + x], x < 5 ? source.Pixels()[y * 9 + x + 4] : d0[y * 9 + x]) << x << "," << y;
}

TEST_F(MaskedBlitTest, OffsetsAndZeroSizes) {
  Canvas dest(10, 10), source(10, 10);
  source.Fill(0x00123456);
  MaskBitmap mask(10, 10, 0x00FFFFFF);
  MaskedBlit(dest.dc, 0, 0, 0, 5, source.dc, 0, 0, mask.bitmap, 0, 0, 0xAACC0020);
  MaskedBlit(dest.dc, 0, 0, 5, 0, source.dc, 0, 0, mask.bitmap, 0, 0, 0xAACC0020);
  for (uint32_t p : dest.Copy()) EXPECT_EQ(p, 0u);
  MaskedBlit(dest.dc, 4, 6, 3, 2, source.dc, 1, 1, mask.bitmap, 0, 0, 0xAACC0020);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      bool inside = x >= 4 && x < 7 && y >= 6 && y < 8;
      EXPECT_EQ(dest.Pixels()[y * 10 + x], inside ? 0x00123456u : 0u) << x << "," << y;
    }
}

TEST_F(MaskedBlitTest, LeavesTheCallersObjectsSelected) {
  Canvas dest(4, 4), source(4, 4);
  MaskBitmap mask(4, 4, 0x00FFFFFF);
  MaskedBlit(dest.dc, 0, 0, 4, 4, source.dc, 0, 0, mask.bitmap, 0, 0, 0xAACC0020);
  // The mask bitmap was deselected again, so it can be deleted...
  EXPECT_TRUE(DeleteObject(mask.bitmap));
  mask.bitmap = nullptr;
  // ...and the canvases still hold their own bitmaps.
  EXPECT_EQ(SelectObject(dest.dc, dest.bitmap), dest.bitmap);
}

}  // namespace
