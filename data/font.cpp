#include "data/font.h"

#include <cstring>

#include "data/masked_blit.h"

GlyphTable glyph_table;
HDC font_dc = nullptr;
HBITMAP font_mask = nullptr;
HDC text_surface = nullptr;

namespace {

// Where the glyph copy goes: destination position, size and page position
// after clipping the page rectangle to the page itself.
struct GlyphCopy {
  int32_t dest_x, dest_y, width, height, page_x, page_y;
};

// Clips the glyph's page rectangle to the font page, moving the destination
// with it; false when nothing of it lies on the page.
bool ClipToPage(const GlyphMetrics& g, int32_t pen_x, int32_t pen_y, GlyphCopy& copy) {
  BITMAP page{};
  if (GetObjectA(font_mask, sizeof page, &page) == 0) return false;
  int64_t left = g.x, top = g.y;
  int64_t right = left + g.width, bottom = top + g.height;
  int64_t clipped_left = left < 0 ? 0 : left, clipped_top = top < 0 ? 0 : top;
  int64_t clipped_right = right > page.bmWidth ? page.bmWidth : right;
  int64_t clipped_bottom = bottom > page.bmHeight ? page.bmHeight : bottom;
  if (clipped_right <= clipped_left || clipped_bottom <= clipped_top) return false;
  int64_t dest_x = static_cast<int64_t>(pen_x) + g.xoffset + (clipped_left - left);
  int64_t dest_y = static_cast<int64_t>(pen_y) + g.yoffset + (clipped_top - top);
  if (dest_x < INT32_MIN || dest_x > INT32_MAX || dest_y < INT32_MIN || dest_y > INT32_MAX) return false;
  copy = {static_cast<int32_t>(dest_x), static_cast<int32_t>(dest_y),
          static_cast<int32_t>(clipped_right - clipped_left), static_cast<int32_t>(clipped_bottom - clipped_top),
          static_cast<int32_t>(clipped_left), static_cast<int32_t>(clipped_top)};
  return true;
}

}  // namespace

HDC LoadBitmapDC(int resource_id) {
  HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource_id));
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  return dc;
}

void DrawGlyph(int32_t x, int32_t y, uint8_t ch) {
  if (ch == ' ') return;
  const GlyphMetrics& g = glyph_table.glyphs[ch];
  GlyphCopy copy;
  if (!ClipToPage(g, x, y, copy)) return;
  MaskedBlit(text_surface, copy.dest_x, copy.dest_y, copy.width, copy.height, font_dc, copy.page_x,
             copy.page_y, font_mask, copy.page_x, copy.page_y, 0xAACC0020);
}

// Pen positions and widths add up in 32 bits with wrap-around, so that a
// descriptor with absurd advances cannot cause undefined arithmetic.
static int32_t Add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

void DrawString(int32_t x, int32_t y, const char* text) {
  int32_t pen_x = x, pen_y = y;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != '\0'; ++p) {
    if (*p == '\n') {
      pen_x = x;
      pen_y = Add(pen_y, kLineHeight);
      continue;
    }
    DrawGlyph(pen_x, pen_y, *p);
    pen_x = Add(pen_x, glyph_table.glyphs[*p].xadvance);
  }
}

int32_t MeasureString(const char* text) {
  int32_t width = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != '\0'; ++p) {
    width = Add(width, glyph_table.glyphs[*p].xadvance);
  }
  return width;
}
