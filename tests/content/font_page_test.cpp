// The font page (bitmap 168) and its descriptor "font.fnt": every character a
// track title may hold has a glyph the player can draw from the page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/content/bmp_reader.h"
#include "tests/content/font_descriptor.h"

namespace {

constexpr int kPage = 128;

class FontPage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(ReadBmp(ReadWholeFile(QUARB_RESOURCES_DIR "/font.bmp"), &page, &error)) << error;
    const std::vector<uint8_t> bytes = ReadWholeFile(QUARB_RESOURCES_DIR "/disk/font.fnt");
    text.assign(bytes.begin(), bytes.end());
    ASSERT_FALSE(text.empty());
    glyphs = ReadCharLines(text, &duplicates);
  }

  bool Lit(int x, int y) const { return page.indices[static_cast<size_t>(y) * kPage + x] == 255; }

  BmpImage page;
  std::string text;
  std::map<int, GlyphLine> glyphs;
  int duplicates = 0;
};

std::vector<int> ShownCodes() {
  std::vector<int> codes;
  for (int c = 32; c <= 126; ++c) codes.push_back(c);
  for (int c = 160; c <= 254; ++c) codes.push_back(c);
  return codes;
}

TEST_F(FontPage, IsA128By128GreyPageOfPureWhiteOnBlack) {
  EXPECT_EQ(page.width, kPage);
  EXPECT_EQ(page.height, kPage);
  ASSERT_EQ(page.bits, 8);
  ASSERT_EQ(page.palette.size(), 256u);
  for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(page.palette[i], i << 16 | i << 8 | i) << "entry " << i;
  for (uint8_t v : page.indices) ASSERT_TRUE(v == 0 || v == 255) << "pixel value " << int(v);
}

TEST_F(FontPage, DescriptorIsReadInFullByALineReader) {
  // The player reads only lines ended by "\n": a last line without one would
  // lose its glyph, and "\r" would be harmless but is not ours.
  ASSERT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find('\0'), std::string::npos);
  EXPECT_EQ(text.compare(0, 5, "info "), 0);
  EXPECT_NE(text.find("\ncommon lineHeight=16 "), std::string::npos);
  EXPECT_NE(text.find("\npage id=0 file=\"font.bmp\"\n"), std::string::npos);
  EXPECT_NE(text.find("\nchars count=" + std::to_string(glyphs.size()) + "\n"), std::string::npos);
  EXPECT_EQ(duplicates, 0);
  for (const auto& [id, g] : glyphs) {
    EXPECT_TRUE(g.complete) << "char line " << id << " is not in the expected key order";
    EXPECT_GE(id, 0);
    EXPECT_LE(id, 254) << "the player ignores ids above 254";
  }
}

TEST_F(FontPage, EveryTitleCharacterHasAGlyphWithASensibleAdvance) {
  for (int code : ShownCodes()) {
    SCOPED_TRACE("character " + std::to_string(code));
    auto it = glyphs.find(code);
    ASSERT_NE(it, glyphs.end());
    const GlyphLine& g = it->second;
    EXPECT_GE(g.xadvance, 2);
    EXPECT_LE(g.xadvance, 14);
    // Ink may overhang the advance by a pixel (J, ½), no more.
    EXPECT_GE(g.xoffset, -1);
    EXPECT_LE(g.xoffset + g.width, g.xadvance + 1);
  }
  // Spaces draw nothing but still move the pen.
  EXPECT_EQ(glyphs[32].width * glyphs[32].height, 0);
  EXPECT_EQ(glyphs[32].xadvance, glyphs[160].xadvance);
}

TEST_F(FontPage, EveryGlyphRectangleLiesOnThePageAndShowsSomething) {
  for (const auto& [id, g] : glyphs) {
    SCOPED_TRACE("character " + std::to_string(id));
    EXPECT_GE(g.width, 0);
    EXPECT_GE(g.height, 0);
    EXPECT_GE(g.x, 0);
    EXPECT_GE(g.y, 0);
    ASSERT_LE(g.x + g.width, kPage);
    ASSERT_LE(g.y + g.height, kPage);
    if (id == 32 || id == 160) continue;
    ASSERT_GT(g.width * g.height, 0) << "a visible character with an empty rectangle";
    // Rectangles are cut to the ink: every edge row and column is lit somewhere.
    bool top = false, bottom = false, left = false, right = false;
    for (int x = g.x; x < g.x + g.width; ++x) {
      top |= Lit(x, g.y);
      bottom |= Lit(x, g.y + g.height - 1);
    }
    for (int y = g.y; y < g.y + g.height; ++y) {
      left |= Lit(g.x, y);
      right |= Lit(g.x + g.width - 1, y);
    }
    EXPECT_TRUE(top && bottom && left && right) << "rectangle does not fit its glyph";
  }
}

TEST_F(FontPage, GlyphRectanglesDoNotOverlap) {
  std::vector<std::pair<int, GlyphLine>> inked;
  for (const auto& entry : glyphs) {
    if (entry.second.width > 0 && entry.second.height > 0) inked.push_back(entry);
  }
  for (size_t i = 0; i < inked.size(); ++i) {
    for (size_t j = i + 1; j < inked.size(); ++j) {
      const GlyphLine &a = inked[i].second, &b = inked[j].second;
      const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x ||
                         a.y + a.height <= b.y || b.y + b.height <= a.y;
      EXPECT_TRUE(apart) << "characters " << inked[i].first << " and " << inked[j].first;
    }
  }
}

TEST_F(FontPage, NoStrayPixelsOutsideTheGlyphs) {
  std::vector<bool> covered(kPage * kPage, false);
  for (const auto& [id, g] : glyphs) {
    for (int y = g.y; y < std::min(kPage, g.y + g.height); ++y) {
      for (int x = g.x; x < std::min(kPage, g.x + g.width); ++x) covered[y * kPage + x] = true;
    }
  }
  int stray = 0;
  for (int i = 0; i < kPage * kPage; ++i) stray += !covered[i] && page.indices[i] != 0;
  EXPECT_EQ(stray, 0);
}

}  // namespace
