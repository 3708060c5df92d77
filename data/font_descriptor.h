// The bitmap font's descriptor ("font.fnt"): glyph metrics, one line a
// character, parsed into a fixed table. Pure text handling, so that the
// tools check descriptors with the player's own parser.
#pragma once

#include <cstdint>
#include <vector>

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

// Fills `table` from the descriptor text (no NUL needed; the text ends at
// `length` or at a NUL). Only complete lines beginning with "char " are read;
// a line whose keys do not match "char id= x= y= width= height= xoffset=
// yoffset= xadvance=" stores nothing, nor does an id outside 0..254. When
// `refused` is given, the numbers (from 1) of the "char " lines that stored
// nothing are added to it.
void ParseFontDescriptor(const char* text, uint32_t length, GlyphTable& table,
                         std::vector<uint32_t>* refused = nullptr);
