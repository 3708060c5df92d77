// The skin (bitmap 102) and its window region (resource 103): the size the
// window takes, buttons where the player hit-tests, a track band that white
// text reads on, and region data that covers the whole window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "tests/content/bmp_reader.h"
#include "tests/content/font_descriptor.h"

namespace {

struct Rect {
  const char* name;
  int left, top, right, bottom;  // right and bottom outside, as the player tests
};

constexpr Rect kHotspots[] = {
    {"previous", 173, 227, 183, 237}, {"play", 187, 227, 197, 237},
    {"pause", 203, 227, 213, 237},    {"next", 219, 227, 229, 237},
    {"minimise", 384, 3, 391, 10},    {"close", 392, 3, 399, 10},
};

constexpr int kPenY = 209;

float Luma(uint32_t rgb) {
  return (0.299f * (rgb >> 16 & 0xFF) + 0.587f * (rgb >> 8 & 0xFF) + 0.114f * (rgb & 0xFF)) / 255;
}

int Distance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift = 0; shift < 24; shift += 8) d = std::max(d, std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)));
  return d;
}

class Skin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(ReadBmp(ReadWholeFile(QUARB_RESOURCES_DIR "/skin.bmp"), &skin, &error)) << error;
  }
  BmpImage skin;
};

TEST_F(Skin, Is400By246InAFormatTheLoaderTakes) {
  EXPECT_EQ(skin.width, 400);
  EXPECT_EQ(skin.height, 246);
  EXPECT_TRUE(skin.bits == 24 || skin.bits == 8);
}

TEST_F(Skin, EveryHotspotShowsAButtonThatStandsOutFromItsSurroundings) {
  ASSERT_EQ(skin.width, 400);
  for (const Rect& r : kHotspots) {
    SCOPED_TRACE(r.name);
    // The ring of pixels just outside the hotspot is what the button sits on.
    std::vector<uint32_t> ring;
    for (int x = r.left - 1; x <= r.right; ++x) {
      ring.push_back(skin.At(x, r.top - 1));
      ring.push_back(skin.At(x, r.bottom));
    }
    for (int y = r.top; y < r.bottom; ++y) {
      ring.push_back(skin.At(r.left - 1, y));
      ring.push_back(skin.At(r.right, y));
    }
    int differing = 0, total = 0;
    float darkest = 1, lightest = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        const uint32_t p = skin.At(x, y);
        int nearest = 255;
        for (uint32_t q : ring) nearest = std::min(nearest, Distance(p, q));
        differing += nearest > 24;
        ++total;
        darkest = std::min(darkest, Luma(p));
        lightest = std::max(lightest, Luma(p));
      }
    }
    // Most of the button differs from anything around it, and it carries a
    // symbol: strong contrast inside.
    EXPECT_GT(differing * 2, total) << differing << " of " << total << " pixels differ";
    EXPECT_GT(lightest - darkest, 0.4f);
  }
}

TEST_F(Skin, TrackLineLandsOnADarkBandInsideTheBand) {
  const std::vector<uint8_t> bytes = ReadWholeFile(QUARB_RESOURCES_DIR "/disk/font.fnt");
  int duplicates = 0;
  const std::map<int, GlyphLine> glyphs = ReadCharLines(std::string(bytes.begin(), bytes.end()), &duplicates);
  ASSERT_FALSE(glyphs.empty());
  int top = 1000, bottom = 0;
  for (const auto& [id, g] : glyphs) {
    if (g.height == 0) continue;
    top = std::min(top, kPenY + g.yoffset);
    bottom = std::max(bottom, kPenY + g.yoffset + g.height);
  }
  // Everything the font draws stays between the band's edges at 205 and 228.
  EXPECT_GE(top, 205);
  EXPECT_LE(bottom, 228);

  // White glyph pixels are OR-ed onto the skin: whatever a centred line can
  // cover must be dark enough for white to read on it.
  float lightest = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = 12; x < 388; ++x) lightest = std::max(lightest, Luma(skin.At(x, y)));
  }
  EXPECT_LT(lightest, 0.2f);
}

TEST(RegionData, IsOneRectangleCoveringTheWholeWindow) {
  const std::vector<uint8_t> region = ReadWholeFile(QUARB_RESOURCES_DIR "/region.bin");
  ASSERT_EQ(region.size(), 48u);
  const int32_t expected[12] = {32, 1, 1, 16, 0, 0, 400, 246, 0, 0, 400, 246};
  for (int i = 0; i < 12; ++i) {
    const int32_t v = static_cast<int32_t>(region[i * 4] | region[i * 4 + 1] << 8 |
                                           region[i * 4 + 2] << 16 |
                                           static_cast<uint32_t>(region[i * 4 + 3]) << 24);
    EXPECT_EQ(v, expected[i]) << "field " << i;
  }
}

}  // namespace
