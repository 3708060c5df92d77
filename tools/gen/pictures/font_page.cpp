#include "tools/gen/pictures/font_page.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

// Windows-1252 between 0x80 and 0x9F; 0 where the code page defines nothing.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct Pending {
  int code;
  GlyphBitmap bitmap;  // trimmed to its inked pixels
};

// Cuts empty rows and columns off a glyph, moving its bearings to match, so
// the page holds only inked pixels.
void Trim(GlyphBitmap& g) {
  int x0 = g.width, x1 = -1, y0 = g.height, y1 = -1;
  for (int y = 0; y < g.height; ++y) {
    for (int x = 0; x < g.width; ++x) {
      if (g.coverage[static_cast<size_t>(y) * g.width + x]) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
    }
  }
  if (x1 < 0) {  // blank glyph (space): nothing to place
    g.width = g.height = 0;
    g.left = g.top = 0;
    g.coverage.clear();
    return;
  }
  const int w = x1 - x0 + 1, h = y1 - y0 + 1;
  std::vector<uint8_t> cut(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      cut[static_cast<size_t>(y) * w + x] = g.coverage[static_cast<size_t>(y + y0) * g.width + x + x0];
    }
  }
  g.left += x0;
  g.top -= y0;
  g.width = w;
  g.height = h;
  g.coverage = std::move(cut);
}

std::string Descriptor(const FontPage& page, const FontPageOptions& options) {
  std::string text;
  char line[200];
  std::snprintf(line, sizeof line,
                "info face=\"%s\" size=%d bold=%d italic=0 charset=\"ANSI\" unicode=0 "
                "stretchH=100 smooth=0 aa=1 padding=0,0,0,0 spacing=0,0\n",
                options.face_name.c_str(), options.face_size, options.bold ? 1 : 0);
  text += line;
  std::snprintf(line, sizeof line,
                "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=1 packed=0\n",
                options.line_height, options.baseline, page.size, page.size);
  text += line;
  text += "page id=0 file=\"font.bmp\"\n";
  std::snprintf(line, sizeof line, "chars count=%zu\n", page.glyphs.size());
  text += line;
  for (const auto& [code, g] : page.glyphs) {
    std::snprintf(line, sizeof line,
                  "char id=%-4d x=%-4d y=%-4d width=%-3d height=%-3d xoffset=%-3d yoffset=%-3d "
                  "xadvance=%-3d page=0  chnl=15\n",
                  code, g.x, g.y, g.width, g.height, g.xoffset, g.yoffset, g.xadvance);
    text += line;
  }
  return text;
}

}  // namespace

uint32_t CodePageToUnicode(int code) {
  if (code >= 0x80 && code < 0xA0) return kHighControls[code - 0x80];
  return static_cast<uint32_t>(code);
}

FontPage BuildFontPage(const FontFace& face, const std::vector<int>& codes,
                       const FontPageOptions& options) {
  std::vector<Pending> pending;
  for (int code : codes) {
    const uint32_t cp = CodePageToUnicode(code);
    const bool optional = code >= 0x80 && code < 0xA0;
    Pending p{code, {}};
    if (cp == 0 || !face.Render(cp, true, &p.bitmap)) {
      if (optional) continue;
      char message[80];
      std::snprintf(message, sizeof message, "the font has no glyph for character %d (U+%04X)",
                    code, cp);
      throw std::runtime_error(message);
    }
    Trim(p.bitmap);
    pending.push_back(std::move(p));
  }

  // Shelf packing, tallest glyphs first: rows of similar height waste little.
  std::vector<size_t> order(pending.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const GlyphBitmap &ga = pending[a].bitmap, &gb = pending[b].bitmap;
    if (ga.height != gb.height) return ga.height > gb.height;
    return ga.width > gb.width;
  });

  FontPage page;
  page.size = options.page_size;
  page.pixels.assign(static_cast<size_t>(page.size) * page.size, 0);
  int shelf_y = 0, shelf_height = 0, pen_x = 0;
  for (size_t i : order) {
    const Pending& p = pending[i];
    const GlyphBitmap& g = p.bitmap;
    PageGlyph out;
    out.xadvance = g.advance;
    if (g.width > 0) {
      if (pen_x + g.width > page.size) {
        shelf_y += shelf_height;
        shelf_height = 0;
        pen_x = 0;
      }
      if (shelf_y + g.height > page.size || g.width > page.size) {
        throw std::runtime_error("the glyphs do not fit on the font page");
      }
      out = {pen_x, shelf_y, g.width, g.height, g.left, options.baseline - g.top, g.advance};
      for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
          if (g.coverage[static_cast<size_t>(y) * g.width + x]) {
            page.pixels[static_cast<size_t>(shelf_y + y) * page.size + pen_x + x] = 255;
          }
        }
      }
      pen_x += g.width;
      shelf_height = std::max(shelf_height, g.height);
    }
    page.glyphs[p.code] = out;
  }
  page.descriptor = Descriptor(page, options);
  return page;
}

int MeasureText(const FontPage& font, const std::string& text) {
  int width = 0;
  for (unsigned char c : text) {
    auto it = font.glyphs.find(c);
    if (it != font.glyphs.end()) width += it->second.xadvance;
  }
  return width;
}

void DrawTextOr(Image& image, const FontPage& font, int x, int y, const std::string& text) {
  for (unsigned char c : text) {
    auto it = font.glyphs.find(c);
    if (it == font.glyphs.end()) continue;
    const PageGlyph& g = it->second;
    for (int gy = 0; gy < g.height; ++gy) {
      for (int gx = 0; gx < g.width; ++gx) {
        if (font.pixels[static_cast<size_t>(g.y + gy) * font.size + g.x + gx]) {
          image.Set(x + g.xoffset + gx, y + g.yoffset + gy, Rgb{1, 1, 1});
        }
      }
    }
    x += g.xadvance;
  }
}
