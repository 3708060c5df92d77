#include "tools/gen/pictures/image_files.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

namespace {

void Put16(Bytes& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutBig32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((v >> shift) & 0xFF);
}

// BITMAPINFOHEADER; `height` is the stored height (an icon stores twice its
// real height, for the colour rows followed by the mask rows).
void PutInfoHeader(Bytes& out, int width, int height, int bits, uint32_t image_size,
                   uint32_t colours) {
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);     // planes
  Put16(out, bits);
  Put32(out, 0);     // BI_RGB
  Put32(out, image_size);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, colours);
  Put32(out, 0);
}

void PutFileHeader(Bytes& out, uint32_t file_size, uint32_t pixel_offset) {
  out.push_back('B');
  out.push_back('M');
  Put32(out, file_size);
  Put32(out, 0);
  Put32(out, pixel_offset);
}

int Stride(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

void PutPngChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBig32(out, static_cast<uint32_t>(data.size()));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBig32(out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

}  // namespace

Bytes EncodeBmp24(const Image& image) {
  const int stride = Stride(image.width(), 24);
  const uint32_t image_size = static_cast<uint32_t>(stride) * image.height();
  Bytes out;
  PutFileHeader(out, 54 + image_size, 54);
  PutInfoHeader(out, image.width(), image.height(), 24, image_size, 0);
  for (int y = image.height() - 1; y >= 0; --y) {
    size_t row_start = out.size();
    for (int x = 0; x < image.width(); ++x) {
      Rgb c = image.Get(x, y);
      out.push_back(ToByte(c.b));
      out.push_back(ToByte(c.g));
      out.push_back(ToByte(c.r));
    }
    out.resize(row_start + stride, 0);
  }
  return out;
}

Bytes EncodeBmp8Grey(int width, int height, const std::vector<uint8_t>& pixels) {
  const int stride = Stride(width, 8);
  const uint32_t image_size = static_cast<uint32_t>(stride) * height;
  const uint32_t pixel_offset = 54 + 256 * 4;
  Bytes out;
  PutFileHeader(out, pixel_offset + image_size, pixel_offset);
  PutInfoHeader(out, width, height, 8, image_size, 256);
  for (int i = 0; i < 256; ++i) {
    out.push_back(i);
    out.push_back(i);
    out.push_back(i);
    out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    size_t row_start = out.size();
    out.insert(out.end(), pixels.begin() + static_cast<size_t>(y) * width,
               pixels.begin() + static_cast<size_t>(y + 1) * width);
    out.resize(row_start + stride, 0);
  }
  return out;
}

Bytes EncodeIco(const Image& image) {
  const int w = image.width(), h = image.height();
  if (w < 1 || h < 1 || w > 256 || h > 256) throw std::runtime_error("icon size out of range");
  const int mask_stride = Stride(w, 1);
  const uint32_t colour_size = static_cast<uint32_t>(w) * h * 4;
  const uint32_t mask_size = static_cast<uint32_t>(mask_stride) * h;
  const uint32_t image_bytes = 40 + colour_size + mask_size;

  Bytes out;
  Put16(out, 0);  // ICONDIR: reserved, type 1 (icon), one image
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(w == 256 ? 0 : w);  // ICONDIRENTRY
  out.push_back(h == 256 ? 0 : h);
  out.push_back(0);  // no palette
  out.push_back(0);
  Put16(out, 1);     // planes
  Put16(out, 32);    // bits per pixel
  Put32(out, image_bytes);
  Put32(out, 6 + 16);

  PutInfoHeader(out, w, h * 2, 32, colour_size + mask_size, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      Rgb c = image.Get(x, y);
      out.push_back(ToByte(c.b));
      out.push_back(ToByte(c.g));
      out.push_back(ToByte(c.r));
      out.push_back(ToByte(image.Alpha(x, y)));
    }
  }
  // The AND mask marks fully transparent pixels, for readers that ignore alpha.
  for (int y = h - 1; y >= 0; --y) {
    Bytes row(mask_stride, 0);
    for (int x = 0; x < w; ++x) {
      if (ToByte(image.Alpha(x, y)) == 0) row[x / 8] |= 0x80 >> (x % 8);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

Bytes EncodePng(const Image& image) {
  const int w = image.width(), h = image.height();
  std::vector<uint8_t> rgb = image.ToRgb8();
  // Each row with the "Sub" filter: smooth gradients compress far better.
  Bytes raw;
  raw.reserve(static_cast<size_t>(h) * (w * 3 + 1));
  for (int y = 0; y < h; ++y) {
    raw.push_back(1);
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * w * 3;
    for (int i = 0; i < w * 3; ++i) raw.push_back(static_cast<uint8_t>(row[i] - (i >= 3 ? row[i - 3] : 0)));
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
    throw std::runtime_error("PNG compression failed");
  }
  packed.resize(packed_size);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBig32(header, w);
  PutBig32(header, h);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no interlace
  PutPngChunk(out, "IHDR", header);
  PutPngChunk(out, "IDAT", packed);
  PutPngChunk(out, "IEND", {});
  return out;
}

void SaveFile(const std::string& path, const Bytes& bytes) {
  const std::string temp = path + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + temp);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    throw std::runtime_error("cannot write " + path);
  }
}

void SaveFile(const std::string& path, const std::string& text) {
  SaveFile(path, Bytes(text.begin(), text.end()));
}
