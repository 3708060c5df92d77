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

#include "data/font_descriptor.h"
#include "platform/win32.h"

// Height of a text line, for "\n" in DrawString.
inline constexpr int32_t kLineHeight = 16;

extern GlyphTable glyph_table;
extern HDC font_dc;
extern HBITMAP font_mask;
extern HDC text_surface;

// A memory DC, compatible with the screen, with bitmap resource `resource_id`
// of the program selected into it.
HDC LoadBitmapDC(int resource_id);

void DrawGlyph(int32_t x, int32_t y, uint8_t ch);
// Draws up to the NUL; "\n" returns the pen to x and moves it down a line.
void DrawString(int32_t x, int32_t y, const char* text);
// Sum of the advances of every byte up to the NUL, "\n" included.
int32_t MeasureString(const char* text);
