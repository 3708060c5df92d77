// One font file opened with FreeType at one pixel size: bitmap fonts (PCF,
// the size is the font's own strike) and outline fonts alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GlyphBitmap {
  int width = 0, height = 0;
  int left = 0;     // from the pen to the bitmap's left column
  int top = 0;      // from the baseline up to the bitmap's top row
  int advance = 0;  // pen movement in whole pixels
  std::vector<uint8_t> coverage;  // top-down rows, 0 to 255
};

class FontFace {
 public:
  // Throws std::runtime_error when the file cannot be opened at that size.
  FontFace(const std::string& path, int pixel_size);
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // False when the font has no glyph for the code point. `mono` renders
  // without anti-aliasing: coverage is only 0 or 255.
  bool Render(uint32_t code_point, bool mono, GlyphBitmap* out) const;

  int ascender() const { return ascender_; }    // pixels above the baseline
  int descender() const { return descender_; }  // pixels below it, positive
  std::string family() const;

 private:
  struct Library;
  Library* library_;
  int ascender_ = 0, descender_ = 0;
};
