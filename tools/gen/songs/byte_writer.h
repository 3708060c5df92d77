// Little helpers for writing binary file layouts field by field.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace songs {

class ByteWriter {
 public:
  std::vector<uint8_t>& bytes() { return bytes_; }
  size_t size() const { return bytes_.size(); }

  void U8(int v) { bytes_.push_back(static_cast<uint8_t>(v)); }
  void U16le(uint32_t v) { U8(v & 0xFF); U8((v >> 8) & 0xFF); }
  void U32le(uint32_t v) { U16le(v & 0xFFFF); U16le(v >> 16); }
  void U16be(uint32_t v) { U8((v >> 8) & 0xFF); U8(v & 0xFF); }
  // `text` cut or padded with `pad` to exactly `width` bytes.
  void Text(const std::string& text, size_t width, uint8_t pad = 0) {
    for (size_t i = 0; i < width; ++i) U8(i < text.size() ? static_cast<uint8_t>(text[i]) : pad);
  }
  void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
  void AlignTo(size_t multiple) {
    while (bytes_.size() % multiple != 0) U8(0);
  }
  void Put16le(size_t at, uint32_t v) {
    bytes_[at] = v & 0xFF;
    bytes_[at + 1] = (v >> 8) & 0xFF;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// A sample value quantised to a signed width, rounding to nearest.
inline int Quantise(float v, int max) {
  float c = std::clamp(v, -1.0f, 1.0f) * static_cast<float>(max);
  return static_cast<int>(c < 0 ? c - 0.5f : c + 0.5f);
}

inline int Bcd(int v) { return (v / 10) << 4 | (v % 10); }

}  // namespace songs
