#include "data/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace {

GlyphTable Parse(const std::string& text) {
  GlyphTable table{};
  ParseFontDescriptor(text.data(), static_cast<uint32_t>(text.size()), table);
  return table;
}

bool IsZero(const GlyphMetrics& g) {
  GlyphMetrics zero{};
  return std::memcmp(&g, &zero, sizeof g) == 0;
}

TEST(ParseFontDescriptor, StoresTheSevenMetricsOfACharLine) {
  GlyphTable t = Parse(
      "info face=\"x\" size=12\ncommon lineHeight=16\npage id=0 file=\"font.bmp\"\nchars count=1\n"
      "char id=65   x=2 y=3    width=4 height=5 xoffset=6 yoffset=7 xadvance=8 page=0 chnl=15\n"
      "kerning first=65 second=66 amount=-1\n");
  const GlyphMetrics& a = t.glyphs[65];
  EXPECT_EQ(a.x, 2);
  EXPECT_EQ(a.y, 3);
  EXPECT_EQ(a.width, 4);
  EXPECT_EQ(a.height, 5);
  EXPECT_EQ(a.xoffset, 6);
  EXPECT_EQ(a.yoffset, 7);
  EXPECT_EQ(a.xadvance, 8);
  for (int i = 0; i < 256; ++i) {
    if (i != 65) {
      EXPECT_TRUE(IsZero(t.glyphs[i])) << i;
    }
  }
}

TEST(ParseFontDescriptor, ReadsSignsCarriageReturnsAndLaterLinesWin) {
  GlyphTable t = Parse(
      "char id=66 x=1 y=1 width=1 height=1 xoffset=-2 yoffset=+3 xadvance=4\r\n"
      "char id=67 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=5\r\n"
      "char id=67 x=9 y=9 width=9 height=9 xoffset=9 yoffset=9 xadvance=9\r\n"
      "char id=200 x=10 y=20 width=3 height=4 xoffset=0 yoffset=1 xadvance=6\n");
  EXPECT_EQ(t.glyphs[66].xoffset, -2);
  EXPECT_EQ(t.glyphs[66].yoffset, 3);
  EXPECT_EQ(t.glyphs[66].xadvance, 4);
  EXPECT_EQ(t.glyphs[67].x, 9) << "the later line replaces the earlier";
  EXPECT_EQ(t.glyphs[200].y, 20) << "codes above 127 are ordinary entries";
}

TEST(ParseFontDescriptor, IgnoresWhatIsNotACompleteCharLine) {
  GlyphTable t = Parse(
      " char id=70 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"      // blank first
      "chars id=71 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"      // other word
      "char id=255 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"      // id 255
      "char id=300 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"
      "char id=-1 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"
      "char id=72 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0\n"                  // no xadvance
      "char id=73 x=1 y=1 height=1 width=1 xoffset=0 yoffset=0 xadvance=1\n"       // keys swapped
      "char id=74 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=\n"        // no value
      "char id=75 x=99999999999 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"
      "char id=76 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1");       // no "\n"
  for (int i = 0; i < 256; ++i) EXPECT_TRUE(IsZero(t.glyphs[i])) << i;
}

// The tools check a descriptor by the lines the player would not take.
TEST(ParseFontDescriptor, NamesTheCharLinesThatStoredNothing) {
  const std::string text =
      "info face=\"x\"\n"
      "char id=65 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"
      "char id=300 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n"
      "chars count=2\n"
      "char id=66 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0\n";
  GlyphTable t{};
  std::vector<uint32_t> refused;
  ParseFontDescriptor(text.data(), static_cast<uint32_t>(text.size()), t, &refused);
  EXPECT_EQ(refused, (std::vector<uint32_t>{3, 5}));
  EXPECT_EQ(t.glyphs[65].xadvance, 1);
}

TEST(ParseFontDescriptor, StopsAtTheFirstNul) {
  std::string text = "char id=80 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=3\n";
  text += std::string(1, '\0') + "char id=81 x=1 y=1 width=1 height=1 xoffset=0 yoffset=0 xadvance=3\n";
  GlyphTable t = Parse(text);
  EXPECT_EQ(t.glyphs[80].xadvance, 3);
  EXPECT_EQ(t.glyphs[81].xadvance, 0);
}

TEST(ParseFontDescriptor, AnEmptyTextWithoutABufferFillsNothing) {
  GlyphTable t{};
  std::vector<char> empty;  // data() is null
  ParseFontDescriptor(empty.data(), 0, t);
  for (int i = 0; i < 256; ++i) EXPECT_TRUE(IsZero(t.glyphs[i])) << i;
}

// A 16 by 16 page with a 2 by 3 block of white at (4, 5), drawn on a black
// 40 by 30 surface.
class TextDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = gdi_internal::CreateScreenBitmap(16, 16);
    mask_ = gdi_internal::CreateScreenBitmap(16, 16);
    for (HBITMAP b : {page_, mask_}) {
      int w, h;
      uint32_t* p = gdi_internal::BitmapPixels(b, &w, &h);
      for (int y = 5; y < 8; ++y)
        for (int x = 4; x < 6; ++x) p[y * 16 + x] = 0x00FFFFFF;
    }
    font_dc = CreateCompatibleDC(nullptr);
    page_previous_ = SelectObject(font_dc, page_);
    font_mask = mask_;
    surface_bitmap_ = gdi_internal::CreateScreenBitmap(40, 30);
    text_surface = CreateCompatibleDC(nullptr);
    surface_previous_ = SelectObject(text_surface, surface_bitmap_);
    std::memset(&glyph_table, 0, sizeof glyph_table);
    glyph_table.glyphs['A'] = {4, 5, 2, 3, 1, 2, 5};
    glyph_table.glyphs[' '] = {4, 5, 2, 3, 0, 0, 4};
    glyph_table.glyphs['\n'] = {0, 0, 0, 0, 0, 0, 7};
    glyph_table.glyphs[200] = {4, 5, 2, 3, 0, 0, 3};
  }
  void TearDown() override {
    SelectObject(font_dc, page_previous_);
    DeleteDC(font_dc);
    SelectObject(text_surface, surface_previous_);
    DeleteDC(text_surface);
    DeleteObject(page_);
    DeleteObject(mask_);
    DeleteObject(surface_bitmap_);
    font_dc = nullptr;
    font_mask = nullptr;
    text_surface = nullptr;
  }
  std::vector<std::pair<int, int>> WhitePixels() {
    int w, h;
    uint32_t* p = gdi_internal::BitmapPixels(surface_bitmap_, &w, &h);
    std::vector<std::pair<int, int>> white;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((p[y * w + x] & 0x00FFFFFF) == 0x00FFFFFF) white.emplace_back(x, y);
    return white;
  }
  std::vector<uint32_t> Surface() {
    int w, h;
    uint32_t* p = gdi_internal::BitmapPixels(surface_bitmap_, &w, &h);
    return std::vector<uint32_t>(p, p + w * h);
  }
  static std::vector<std::pair<int, int>> Block(int x, int y) {
    std::vector<std::pair<int, int>> b;
    for (int dy = 0; dy < 3; ++dy)
      for (int dx = 0; dx < 2; ++dx) b.emplace_back(x + dx, y + dy);
    return b;
  }
  HBITMAP page_, mask_, surface_bitmap_;
  HGDIOBJ page_previous_, surface_previous_;
};

TEST_F(TextDrawingTest, MeasuresEveryByteIncludingLineEnds) {
  EXPECT_EQ(MeasureString(""), 0);
  EXPECT_EQ(MeasureString("\n"), 7);
  EXPECT_EQ(MeasureString("A A"), 5 + 4 + 5);
  EXPECT_EQ(MeasureString("A\nA"), 5 + 7 + 5);
  EXPECT_EQ(MeasureString("B"), 0) << "no descriptor line, no advance";
}

TEST_F(TextDrawingTest, GlyphsLandAtThePenPlusTheirOffsets) {
  DrawString(10, 4, "A");
  EXPECT_EQ(WhitePixels(), Block(11, 6));
}

TEST_F(TextDrawingTest, SpacesAdvanceWithoutDrawingAndLineEndsReturnThePen) {
  DrawString(0, 0, "A A\nA");
  std::vector<std::pair<int, int>> expected;
  for (auto p : Block(1, 2)) expected.push_back(p);
  for (auto p : Block(1 + 9, 2)) expected.push_back(p);
  for (auto p : Block(1, 2 + 16)) expected.push_back(p);
  std::sort(expected.begin(), expected.end(), [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
  EXPECT_EQ(WhitePixels(), expected);
}

TEST_F(TextDrawingTest, HighCodesUseTheirOwnEntry) {
  DrawString(20, 10, "\xC8");
  EXPECT_EQ(WhitePixels(), Block(20, 10));
}

TEST_F(TextDrawingTest, DrawingTwiceChangesNothingMore) {
  DrawString(3, 3, "AAA");
  std::vector<uint32_t> once = Surface();
  DrawString(3, 3, "AAA");
  EXPECT_EQ(Surface(), once);
}

TEST_F(TextDrawingTest, GlyphRectanglesOutsideThePageAreClipped) {
  // Reaches 2 pixels past the right edge of the 16-pixel page and starts
  // above it: only the part on the page is drawn, in its place.
  glyph_table.glyphs['C'] = {14, -2, 4, 10, 0, 0, 5};
  int w, h;
  uint32_t* page = gdi_internal::BitmapPixels(mask_, &w, &h);
  page[0 * 16 + 15] = 0x00FFFFFF;  // lies at glyph row 2, column 1
  uint32_t* page2 = gdi_internal::BitmapPixels(page_, &w, &h);
  page2[0 * 16 + 15] = 0x00FFFFFF;
  DrawString(5, 5, "C");
  EXPECT_EQ(WhitePixels(), (std::vector<std::pair<int, int>>{{6, 7}}));
  // Wholly outside, or with negative sizes: nothing, and no crash.
  glyph_table.glyphs['D'] = {200, 200, 5, 5, 0, 0, 5};
  glyph_table.glyphs['E'] = {0, 0, -5, 5, 0, 0, 5};
  glyph_table.glyphs['F'] = {-2147483647, 0, 2147483647, 5, 0, 0, 2147483647};
  DrawString(5, 5, "DEFF");
  EXPECT_EQ(WhitePixels().size(), 1u);
}

}  // namespace
