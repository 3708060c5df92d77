#include "platform/window/icon_reader.h"

#include <utility>

namespace winsys {
namespace {

constexpr int kSide = 32;
constexpr size_t kDirectoryHeader = 6;
constexpr size_t kDirectoryEntry = 16;
constexpr size_t kInfoHeader = 40;
constexpr size_t kPixelBytes = kSide * kSide * 4;
constexpr size_t kMaskRowBytes = 4;  // 32 one-bit pixels, already a multiple of 4 bytes
constexpr size_t kMaskBytes = kSide * kMaskRowBytes;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// One directory entry's image: a BITMAPINFOHEADER, the colour pixels bottom-up,
// then the AND mask bottom-up. The header's height covers both, so it is 64.
bool ReadImage(const uint8_t* p, size_t size, IconImage* image) {
  if (size < kInfoHeader) return false;
  uint32_t header_size = U32(p);
  int32_t width = static_cast<int32_t>(U32(p + 4));
  int32_t height = static_cast<int32_t>(U32(p + 8));
  uint16_t planes = U16(p + 12);
  uint16_t bits = U16(p + 14);
  uint32_t compression = U32(p + 16);
  if (header_size < kInfoHeader || header_size > size) return false;
  if (width != kSide || height != 2 * kSide || planes != 1 || bits != 32 || compression != 0) return false;
  if (size - header_size < kPixelBytes) return false;
  const uint8_t* pixels = p + header_size;
  bool has_mask = size - header_size - kPixelBytes >= kMaskBytes;
  const uint8_t* mask = pixels + kPixelBytes;

  image->width = kSide;
  image->height = kSide;
  image->argb.assign(kSide * kSide, 0);
  bool any_alpha = false;
  for (int row = 0; row < kSide; ++row) {
    const uint8_t* src = pixels + static_cast<size_t>(kSide - 1 - row) * kSide * 4;
    for (int x = 0; x < kSide; ++x) {
      const uint8_t* px = src + x * 4;
      if (px[3] != 0) any_alpha = true;
      image->argb[row * kSide + x] = (static_cast<uint32_t>(px[3]) << 24) | (static_cast<uint32_t>(px[2]) << 16) |
                                     (static_cast<uint32_t>(px[1]) << 8) | px[0];
    }
  }
  if (!any_alpha) {
    // An icon without alpha: the AND mask says which pixels are transparent.
    for (int row = 0; row < kSide; ++row) {
      const uint8_t* bits_row = mask + static_cast<size_t>(kSide - 1 - row) * kMaskRowBytes;
      for (int x = 0; x < kSide; ++x) {
        bool transparent = has_mask && (bits_row[x / 8] & (0x80 >> (x % 8))) != 0;
        if (!transparent) image->argb[row * kSide + x] |= 0xFF000000u;
      }
    }
  }
  return true;
}

}  // namespace

bool ReadIcon32(const uint8_t* data, size_t size, IconImage* image) {
  if (data == nullptr || image == nullptr || size < kDirectoryHeader) return false;
  if (U16(data) != 0 || U16(data + 2) != 1) return false;
  size_t count = U16(data + 4);
  if (count == 0 || (size - kDirectoryHeader) / kDirectoryEntry < count) return false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kDirectoryHeader + i * kDirectoryEntry;
    int width = entry[0] == 0 ? 256 : entry[0];
    int height = entry[1] == 0 ? 256 : entry[1];
    if (width != kSide || height != kSide) continue;
    uint32_t bytes = U32(entry + 8);
    uint32_t offset = U32(entry + 12);
    if (offset > size || bytes > size - offset) continue;
    IconImage candidate;
    if (ReadImage(data + offset, bytes, &candidate)) {
      *image = std::move(candidate);
      return true;
    }
  }
  return false;
}

}  // namespace winsys
