// The window icon (resource 109): one 32 by 32, 32-bit image in an .ico file,
// stored whole, which the window system reads as a group icon.
#include <gtest/gtest.h>

#include "tests/content/bmp_reader.h"

namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

TEST(Icon, HoldsOne32By32TrueColourImageWhoseSizesAgree) {
  const std::vector<uint8_t> ico = ReadWholeFile(QUARB_RESOURCES_DIR "/icon.ico");
  ASSERT_GE(ico.size(), 22u + 40u);
  EXPECT_EQ(Le(ico, 0, 2), 0u);  // reserved
  EXPECT_EQ(Le(ico, 2, 2), 1u);  // an icon, not a cursor
  ASSERT_EQ(Le(ico, 4, 2), 1u);  // one image
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(Le(ico, 12, 2), 32u);
  const uint32_t size = Le(ico, 14, 4), offset = Le(ico, 18, 4);
  ASSERT_EQ(offset, 22u);
  ASSERT_EQ(offset + size, ico.size()) << "the directory must describe the whole image";

  // The image: BITMAPINFOHEADER with twice the height (colour rows, then the
  // AND mask), BGRA rows of 128 bytes and mask rows of 4 bytes.
  EXPECT_EQ(Le(ico, 22, 4), 40u);
  EXPECT_EQ(Le(ico, 26, 4), 32u);
  EXPECT_EQ(Le(ico, 30, 4), 64u);
  EXPECT_EQ(Le(ico, 36, 2), 32u);
  EXPECT_EQ(Le(ico, 38, 4), 0u);  // uncompressed
  ASSERT_EQ(size, 40u + 32 * 32 * 4 + 32 * 4);
}

TEST(Icon, MaskAndAlphaAgreeAndShowAShape) {
  const std::vector<uint8_t> ico = ReadWholeFile(QUARB_RESOURCES_DIR "/icon.ico");
  ASSERT_EQ(ico.size(), 22u + 40u + 32 * 32 * 4 + 32 * 4);
  const size_t colour = 62, mask = colour + 32 * 32 * 4;
  int opaque = 0, clear = 0;
  for (int row = 0; row < 32; ++row) {
    for (int x = 0; x < 32; ++x) {
      const uint8_t alpha = ico[colour + (row * 32 + x) * 4 + 3];
      const bool masked = ico[mask + row * 4 + x / 8] & (0x80 >> (x % 8));
      // Readers that ignore alpha fall back on the mask: it must hide exactly
      // the fully transparent pixels.
      EXPECT_EQ(masked, alpha == 0) << "row " << row << " column " << x;
      opaque += alpha == 255;
      clear += alpha == 0;
    }
  }
  EXPECT_GT(opaque, 300) << "the picture is mostly missing";
  EXPECT_GT(clear, 50) << "a square icon with no shape";
}

}  // namespace
