#include "platform/gdi/dib.h"

#include <bit>
#include <new>


namespace gdi {

// The compressions of a bitmap header (biCompression) the decoder knows.
constexpr uint32_t kRgb = 0;        // BI_RGB
constexpr uint32_t kBitfields = 3;  // BI_BITFIELDS

bool BitmapSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         width * height <= kMaxBitmapPixels;
}

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t Xrgb(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

// One colour channel of a BI_BITFIELDS pixel, scaled to 8 bits. Masks need
// not be contiguous: the channel's value never exceeds the mask shifted down,
// which is what it is scaled against.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Channel(uint32_t m) : mask(m) {
    if (m != 0) {
      shift = std::countr_zero(m);
      max = m >> shift;
    }
  }
  uint32_t Get(uint32_t pixel) const {
    if (max == 0) return 0;
    uint32_t value = (pixel & mask) >> shift;
    if (max == 255) return value;
    return static_cast<uint32_t>((static_cast<uint64_t>(value) * 255 + max / 2) / max);
  }
};

struct Layout {
  int64_t width = 0;
  int64_t height = 0;  // always positive here
  bool top_down = false;
  int bits = 0;
  uint32_t compression = kRgb;
  uint64_t table_entries = 0;  // colour table entries stored before the rows
  size_t entry_size = 4;       // 3 for the core header's RGBTRIPLEs
  uint32_t masks[3] = {0, 0, 0};
  size_t table_offset = 0;
};

bool ReadLayout(const uint8_t* data, size_t size, Layout* layout) {
  if (size < 4) return false;
  uint32_t header_size = Le32(data);
  uint64_t colours_used = 0;
  int planes = 0;
  if (header_size == 12) {
    if (size < 12) return false;
    layout->width = Le16(data + 4);
    layout->height = Le16(data + 6);
    planes = Le16(data + 8);
    layout->bits = Le16(data + 10);
    layout->entry_size = 3;
  } else if (header_size == 40 || header_size == 52 || header_size == 56 || header_size == 108 ||
             header_size == 124) {
    if (size < header_size) return false;
    layout->width = static_cast<int32_t>(Le32(data + 4));
    layout->height = static_cast<int32_t>(Le32(data + 8));
    planes = Le16(data + 12);
    layout->bits = Le16(data + 14);
    layout->compression = Le32(data + 16);
    colours_used = Le32(data + 32);
  } else {
    return false;
  }
  if (planes != 1) return false;
  if (layout->height < 0) {
    layout->top_down = true;
    layout->height = -layout->height;
  }
  if (!BitmapSizeAllowed(layout->width, layout->height)) return false;

  size_t offset = header_size;
  switch (layout->bits) {
    case 1:
    case 4:
    case 8: {
      if (layout->compression != kRgb) return false;
      uint64_t full = uint64_t{1} << layout->bits;
      if (colours_used > full) return false;
      layout->table_entries = (header_size == 12 || colours_used == 0) ? full : colours_used;
      break;
    }
    case 24:
      if (layout->compression != kRgb) return false;
      layout->table_entries = colours_used;
      break;
    case 16:
    case 32:
      if (header_size == 12) return false;
      if (layout->compression == kRgb) {
        if (layout->bits == 16) {
          layout->masks[0] = 0x7C00, layout->masks[1] = 0x03E0, layout->masks[2] = 0x001F;
        } else {
          layout->masks[0] = 0xFF0000, layout->masks[1] = 0xFF00, layout->masks[2] = 0xFF;
        }
      } else if (layout->compression == kBitfields) {
        // The masks lie at byte 40 either way: right after the info header, or
        // inside the later headers, which have room for them.
        if (header_size == 40) offset += 12;
        if (size < 52) return false;
        for (int i = 0; i < 3; ++i) layout->masks[i] = Le32(data + 40 + 4 * i);
      } else {
        return false;
      }
      layout->table_entries = colours_used;
      break;
    default:
      return false;
  }
  layout->table_offset = offset;
  return true;
}

}  // namespace

bool DecodePackedDib(const uint8_t* data, size_t size, DecodedDib* out) {
  if (data == nullptr || out == nullptr) return false;
  Layout layout;
  if (!ReadLayout(data, size, &layout)) return false;

  // Everything is checked in 64 bits against the bytes given before a single
  // row is read; widths and heights are bounded, so nothing here overflows.
  uint64_t table_bytes = layout.table_entries * layout.entry_size;
  uint64_t stride = ((static_cast<uint64_t>(layout.width) * layout.bits + 31) / 32) * 4;
  uint64_t rows_offset = layout.table_offset + table_bytes;
  if (rows_offset > size) return false;
  if (stride * static_cast<uint64_t>(layout.height) > size - rows_offset) return false;

  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);
  uint32_t palette[256] = {};
  int palette_size = 0;
  if (layout.bits <= 8) {
    palette_size = static_cast<int>(layout.table_entries);
    const uint8_t* entry = data + layout.table_offset;
    for (int i = 0; i < palette_size; ++i, entry += layout.entry_size) {
      palette[i] = Xrgb(entry[2], entry[1], entry[0]);
    }
  }
  const Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
  const bool plain32 = layout.bits == 32 && layout.masks[0] == 0xFF0000 && layout.masks[1] == 0xFF00 &&
                       layout.masks[2] == 0xFF;

  try {
    out->pixels.assign(static_cast<size_t>(width) * height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  out->width = width;
  out->height = height;

  for (int y = 0; y < height; ++y) {
    int stored_row = layout.top_down ? y : height - 1 - y;
    const uint8_t* row = data + rows_offset + stride * static_cast<uint64_t>(stored_row);
    uint32_t* dst = out->pixels.data() + static_cast<size_t>(y) * width;
    switch (layout.bits) {
      case 1:
      case 4:
      case 8: {
        // Indices are packed from the most significant bits of each byte.
        const int bits = layout.bits;
        const int per_byte = 8 / bits;
        const unsigned index_mask = (1u << bits) - 1;
        for (int x = 0; x < width; ++x) {
          unsigned byte = row[x / per_byte];
          int shift = 8 - bits * (x % per_byte + 1);
          unsigned index = (byte >> shift) & index_mask;
          // An index past a short colour table reads as black.
          dst[x] = static_cast<int>(index) < palette_size ? palette[index] : 0;
        }
        break;
      }
      case 16:
        for (int x = 0; x < width; ++x) {
          uint32_t v = Le16(row + 2 * x);
          dst[x] = Xrgb(red.Get(v), green.Get(v), blue.Get(v));
        }
        break;
      case 24:
        for (int x = 0; x < width; ++x) {
          const uint8_t* p = row + 3 * x;
          dst[x] = Xrgb(p[2], p[1], p[0]);
        }
        break;
      case 32:
        for (int x = 0; x < width; ++x) {
          uint32_t v = Le32(row + 4 * x);
          dst[x] = plain32 ? (v & 0xFFFFFF) : Xrgb(red.Get(v), green.Get(v), blue.Get(v));
        }
        break;
    }
  }
  return true;
}

}  // namespace gdi
