#include "tests/content/bmp_reader.h"

#include <cstdio>
#include <cstdlib>

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }

}  // namespace

bool ReadBmp(const std::vector<uint8_t>& file, BmpImage* out, std::string* error) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
    *error = "not a BMP file";
    return false;
  }
  const uint32_t pixel_offset = Le32(file, 10);
  const uint32_t header_size = Le32(file, 14);
  const int32_t width = static_cast<int32_t>(Le32(file, 18));
  const int32_t raw_height = static_cast<int32_t>(Le32(file, 22));
  const int bits = Le16(file, 28);
  const uint32_t compression = Le32(file, 30);
  uint32_t colours = Le32(file, 46);
  if (header_size < 40 || Le16(file, 26) != 1 || compression != 0) {
    *error = "unsupported header or compression";
    return false;
  }
  if (width <= 0 || width > 4096 || raw_height == 0 || std::abs(raw_height) > 4096) {
    *error = "unreasonable size";
    return false;
  }
  if (bits != 8 && bits != 24) {
    *error = "unsupported depth " + std::to_string(bits);
    return false;
  }
  const int height = std::abs(raw_height);
  const bool bottom_up = raw_height > 0;
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;

  out->width = width;
  out->height = height;
  out->bits = bits;
  out->palette.clear();
  out->indices.clear();
  if (bits == 8) {
    if (colours == 0) colours = 256;
    const size_t palette_at = 14 + header_size;
    if (colours > 256 || palette_at + colours * 4 > file.size()) {
      *error = "palette out of range";
      return false;
    }
    for (uint32_t i = 0; i < colours; ++i) {
      const size_t p = palette_at + i * 4;
      out->palette.push_back(file[p + 2] << 16 | file[p + 1] << 8 | file[p]);
    }
  }
  if (pixel_offset > file.size() || file.size() - pixel_offset < stride * height) {
    *error = "pixel rows run past the end of the file";
    return false;
  }
  out->pixels.assign(static_cast<size_t>(width) * height, 0);
  if (bits == 8) out->indices.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    const size_t row = pixel_offset + stride * (bottom_up ? height - 1 - y : y);
    for (int x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      if (bits == 8) {
        const uint8_t index = file[row + x];
        if (index >= out->palette.size()) {
          *error = "pixel index outside the palette";
          return false;
        }
        out->indices[i] = index;
        out->pixels[i] = out->palette[index];
      } else {
        const size_t p = row + static_cast<size_t>(x) * 3;
        out->pixels[i] = file[p + 2] << 16 | file[p + 1] << 8 | file[p];
      }
    }
  }
  return true;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}
