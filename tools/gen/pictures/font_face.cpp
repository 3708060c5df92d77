#include "tools/gen/pictures/font_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <stdexcept>

struct FontFace::Library {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

FontFace::FontFace(const std::string& path, int pixel_size) : library_(new Library) {
  if (FT_Init_FreeType(&library_->library) != 0) {
    delete library_;
    throw std::runtime_error("FreeType did not start");
  }
  FT_Face face = nullptr;
  if (FT_New_Face(library_->library, path.c_str(), 0, &face) != 0) {
    FT_Done_FreeType(library_->library);
    delete library_;
    throw std::runtime_error("cannot open font " + path);
  }
  library_->face = face;
  FT_Error error;
  if (FT_IS_SCALABLE(face)) {
    error = FT_Set_Pixel_Sizes(face, 0, pixel_size);
  } else {
    // A bitmap font: pick the strike of the requested height.
    error = FT_Err_Invalid_Pixel_Size;
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
      if (face->available_sizes[i].height == pixel_size) error = FT_Select_Size(face, i);
    }
  }
  if (error != 0) {
    FT_Done_Face(face);
    FT_Done_FreeType(library_->library);
    delete library_;
    throw std::runtime_error("font " + path + " has no size " + std::to_string(pixel_size));
  }
  ascender_ = static_cast<int>(std::lround(face->size->metrics.ascender / 64.0));
  descender_ = static_cast<int>(std::lround(-face->size->metrics.descender / 64.0));
}

FontFace::~FontFace() {
  FT_Done_Face(library_->face);
  FT_Done_FreeType(library_->library);
  delete library_;
}

std::string FontFace::family() const {
  const char* name = library_->face->family_name;
  return name ? name : "";
}

bool FontFace::Render(uint32_t code_point, bool mono, GlyphBitmap* out) const {
  FT_Face face = library_->face;
  FT_UInt index = FT_Get_Char_Index(face, code_point);
  if (index == 0) return false;
  FT_Int32 flags = FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME : 0);
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  out->width = static_cast<int>(bitmap.width);
  out->height = static_cast<int>(bitmap.rows);
  out->left = slot->bitmap_left;
  out->top = slot->bitmap_top;
  out->advance = static_cast<int>(std::lround(slot->advance.x / 64.0));
  out->coverage.assign(static_cast<size_t>(out->width) * out->height, 0);
  for (int y = 0; y < out->height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    for (int x = 0; x < out->width; ++x) {
      uint8_t v;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        v = (row[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
      } else {
        v = row[x];
        if (mono) v = v >= 128 ? 255 : 0;
      }
      out->coverage[static_cast<size_t>(y) * out->width + x] = v;
    }
  }
  return true;
}
