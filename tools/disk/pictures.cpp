#include "tools/disk/pictures.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "platform/gdi/dib.h"

namespace disk {

namespace {

constexpr size_t kFileHeader = 14;

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

Picture ReadBmp(const std::string& path, const std::vector<uint8_t>& file) {
  if (file.size() < kFileHeader + 12 || file[0] != 'B' || file[1] != 'M')
    throw std::runtime_error(path + ": not a BMP file");
  Picture picture;
  picture.file = file;
  gdi::DecodedDib dib;
  if (!gdi::DecodePackedDib(file.data() + kFileHeader, file.size() - kFileHeader, &dib))
    throw std::runtime_error(path + ": a BMP the player cannot load (damaged, compressed or of an unknown kind)");
  picture.width = dib.width;
  picture.height = dib.height;
  picture.pixels = std::move(dib.pixels);
  // The bit count sits at the same place in the core header (12 bytes) and
  // in every later header.
  const uint32_t header_size = Le32(file.data() + kFileHeader);
  picture.bits_per_pixel = Le16(file.data() + kFileHeader + (header_size == 12 ? 10 : 14));
  return picture;
}

std::vector<uint8_t> BitmapResource(const Picture& picture) {
  return std::vector<uint8_t>(picture.file.begin() + kFileHeader, picture.file.end());
}

std::vector<Rect> RegionFromKeyColour(const Picture& skin, uint32_t key) {
  return RegionOf(skin.width, skin.height, [&](int x, int y) {
    return skin.pixels[static_cast<size_t>(y) * skin.width + x] != key;
  });
}

std::vector<Rect> RegionFromMask(const Picture& mask, const Picture& skin, const std::string& mask_path) {
  if (mask.width != skin.width || mask.height != skin.height)
    throw std::runtime_error(mask_path + ": the mask is " + std::to_string(mask.width) + " by " +
                             std::to_string(mask.height) + ", the skin " + std::to_string(skin.width) + " by " +
                             std::to_string(skin.height));
  for (size_t i = 0; i < mask.pixels.size(); ++i) {
    const uint32_t p = mask.pixels[i];
    if (p != 0x000000 && p != 0xFFFFFF)
      throw std::runtime_error(mask_path + ": not black and white (pixel " + std::to_string(i % mask.width) + ", " +
                               std::to_string(i / mask.width) + ")");
  }
  return RegionOf(mask.width, mask.height, [&](int x, int y) {
    return mask.pixels[static_cast<size_t>(y) * mask.width + x] == 0xFFFFFF;
  });
}

std::vector<uint8_t> RegionData(const std::vector<Rect>& rects) {
  if (rects.empty()) throw std::runtime_error("the region is empty: no pixel of the skin would be seen");
  Rect bound{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const Rect& r : rects) {
    bound.left = std::min(bound.left, r.left);
    bound.top = std::min(bound.top, r.top);
    bound.right = std::max(bound.right, r.right);
    bound.bottom = std::max(bound.bottom, r.bottom);
  }
  std::vector<uint8_t> out;
  Put32(out, 32);  // dwSize
  Put32(out, 1);   // iType: RDH_RECTANGLES
  Put32(out, static_cast<uint32_t>(rects.size()));
  Put32(out, static_cast<uint32_t>(16 * rects.size()));
  for (int32_t v : {bound.left, bound.top, bound.right, bound.bottom}) Put32(out, static_cast<uint32_t>(v));
  for (const Rect& r : rects)
    for (int32_t v : {r.left, r.top, r.right, r.bottom}) Put32(out, static_cast<uint32_t>(v));
  return out;
}

void CheckIcon(const std::string& path, const std::vector<uint8_t>& file) {
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries with each
  // image's size and offset.
  if (file.size() < 6 || Le16(file.data()) != 0 || Le16(file.data() + 2) != 1)
    throw std::runtime_error(path + ": not an icon file");
  const size_t count = Le16(file.data() + 4);
  if (count == 0) throw std::runtime_error(path + ": an icon file without images");
  if (file.size() < 6 + 16 * count) throw std::runtime_error(path + ": the icon file is cut short");
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = file.data() + 6 + 16 * i;
    const uint64_t size = Le32(entry + 8), offset = Le32(entry + 12);
    if (size < 8 || offset + size > file.size())
      throw std::runtime_error(path + ": icon image " + std::to_string(i + 1) + " lies outside the file");
    const uint8_t* image = file.data() + offset;
    const bool png = image[0] == 0x89 && image[1] == 'P' && image[2] == 'N' && image[3] == 'G';
    const bool dib = Le32(image) == 40;
    if (!png && !dib) throw std::runtime_error(path + ": icon image " + std::to_string(i + 1) + " is neither a bitmap nor a PNG");
  }
}

uint32_t ParseColour(const std::string& text) {
  std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    throw std::runtime_error("--key-colour " + text + ": not a colour RRGGBB");
  return static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
}

}  // namespace disk
