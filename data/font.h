// The bitmap font: glyph metrics read from a text descriptor ("font.fnt"),
// glyph shapes on a 128 by 128 font page bitmap, and text measured and drawn
// onto the skin surface.
//
// Drawing works over file-scope state the player sets up once at start-up:
// `glyph_table`, `font_dc` (the page, the source of every glyph), `font_mask`
// (a second bitmap of the same page, the mask) and `text_surface` (the skin
// surface that text is drawn onto). A glyph is OR-ed onto the surface: drawing
// the same text at the same place twice changes nothing more.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct GlyphMetrics {
  int32_t x, y;              // top-left corner on the font page
  int32_t width, height;     // size on the page
  int32_t xoffset, yoffset;  // where that corner goes relative to the pen
  int32_t xadvance;          // how far the pen moves right afterwards
};

// Indexed by character code. Entries no descriptor line filled are zero:
// such characters draw nothing and advance nothing.
struct GlyphTable {
  GlyphMetrics glyphs[256];
};

// Height of a text line, for "\n" in DrawString.
inline constexpr int32_t kLineHeight = 16;

extern GlyphTable glyph_table;
extern HDC font_dc;
extern HBITMAP font_mask;
extern HDC text_surface;

// Fills `table` from the descriptor text (no NUL needed; the text ends at
// `length` or at a NUL). Only complete lines beginning with "char " are read;
// a line whose keys do not match "char id= x= y= width= height= xoffset=
// yoffset= xadvance=" stores nothing, nor does an id outside 0..254.
void ParseFontDescriptor(const char* text, uint32_t length, GlyphTable& table);

// A memory DC, compatible with the screen, with bitmap resource `resource_id`
// of the program selected into it.
HDC LoadBitmapDC(int resource_id);

void DrawGlyph(int32_t x, int32_t y, uint8_t ch);
// Draws up to the NUL; "\n" returns the pen to x and moves it down a line.
void DrawString(int32_t x, int32_t y, const char* text);
// Sum of the advances of every byte up to the NUL, "\n" included.
int32_t MeasureString(const char* text);
