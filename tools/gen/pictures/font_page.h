// The player's bitmap font: every glyph of the 8-bit character set packed
// onto one small page (white glyph pixels on black), plus the text descriptor
// "font.fnt" that tells where each glyph lies and how it is placed.
//
// Character codes are the Windows western code page (1252): Latin-1, with
// the typographic marks of 128 to 159 where the font has them. Glyph
// placement is relative to the pen, which the player puts at the top of the
// line; `baseline` is how far below the pen the font's baseline lies.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/gen/pictures/font_face.h"
#include "tools/gen/pictures/image.h"

struct PageGlyph {
  int x = 0, y = 0, width = 0, height = 0;
  int xoffset = 0, yoffset = 0, xadvance = 0;
};

struct FontPage {
  int size = 0;                          // the page is size by size pixels
  std::vector<uint8_t> pixels;           // top-down, 0 or 255
  std::map<int, PageGlyph> glyphs;       // by character code
  std::string descriptor;                // "font.fnt", bare "\n" line ends
};

struct FontPageOptions {
  int page_size = 128;
  int baseline = 11;       // pen to baseline
  int line_height = 16;    // what the player moves down for a new line
  std::string face_name;   // written into the descriptor's info line
  int face_size = 0;
  bool bold = false;
};

// The code point a character code of the western code page stands for, or 0
// for the five codes that page leaves undefined.
uint32_t CodePageToUnicode(int code);

// Renders `codes` without anti-aliasing and packs them. Throws
// std::runtime_error if a glyph is missing from the font (other than in 128
// to 159, which are left out) or the glyphs do not fit on the page.
FontPage BuildFontPage(const FontFace& face, const std::vector<int>& codes,
                       const FontPageOptions& options);

// Draws `text` as the player does: glyph pixels OR-ed onto the image (white
// wins), the pen starting at (x, y) and moving by each glyph's advance.
void DrawTextOr(Image& image, const FontPage& font, int x, int y, const std::string& text);
int MeasureText(const FontPage& font, const std::string& text);
