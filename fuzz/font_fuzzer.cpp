// libFuzzer target: ParseFontDescriptor on arbitrary text, then the parsed
// metrics measured and drawn.
//
// Whatever the descriptor says (negative sizes, glyphs far off the page,
// advances that overflow), parsing must stay inside the text and never fill
// entry 255, and drawing every character must stay inside the font page and
// the surface. The surface is the skin's size and the page the font page's.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/font.h"

namespace {

// The drawing objects of the player, made once: a 400 by 246 surface and a
// 128 by 128 page whose upper half is white.
void SetUpDrawing() {
  static bool done = false;
  if (done) return;
  done = true;
  text_surface = CreateCompatibleDC(nullptr);
  SelectObject(text_surface, CreateCompatibleBitmap(text_surface, 400, 246));
  font_dc = CreateCompatibleDC(nullptr);
  HBITMAP page = CreateCompatibleBitmap(font_dc, 128, 128);
  SelectObject(font_dc, page);
  PatBlt(font_dc, 0, 0, 128, 64, WHITENESS);
  font_mask = CreateCompatibleBitmap(font_dc, 128, 128);
  HDC mask_dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mask_dc, font_mask);
  BitBlt(mask_dc, 0, 0, 128, 128, font_dc, 0, 0, SRCCOPY);
  SelectObject(mask_dc, old);
  DeleteDC(mask_dc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  SetUpDrawing();
  std::vector<char> text(data, data + size);  // exact size: overreads are caught

  GlyphTable parsed{};
  ParseFontDescriptor(text.data(), static_cast<uint32_t>(size), parsed);
  static const GlyphMetrics kZero{};
  if (std::memcmp(&parsed.glyphs[255], &kZero, sizeof kZero) != 0) std::abort();

  // Every character code once, a line break in the middle.
  char line[257];
  int n = 0;
  for (int c = 1; c < 256; ++c) {
    if (c == 128) line[n++] = '\n';
    if (c != '\n') line[n++] = static_cast<char>(c);
  }
  line[n] = '\0';
  glyph_table = parsed;
  MeasureString(line);
  DrawString(0, 0, line);
  DrawString(200, 120, line);
  return 0;
}
