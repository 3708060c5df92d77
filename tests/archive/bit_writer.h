// Test-only writers of exact compressed streams: bits most significant
// first, canonical Huffman codes from code lengths, and table blocks.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace testing_helpers {

class BitWriter {
 public:
  // Appends the low `count` bits of `value`, highest first.
  void Put(uint32_t value, uint32_t count) {
    for (uint32_t i = count; i > 0; --i) {
      if (bit_count_ % 8 == 0) bytes_.push_back(0);
      if ((value >> (i - 1)) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (bit_count_ % 8));
      ++bit_count_;
    }
  }
  uint64_t bit_count() const { return bit_count_; }
  // The bytes written, the last one padded with zero bits.
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  // Pads with zero bytes, e.g. so that a look past the end sees what it
  // expects.
  void PadBytes(size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    bit_count_ = bytes_.size() * 8;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t bit_count_ = 0;
};

// The canonical code of a set of lengths: codes in order of length, then of
// symbol; the first code of each length follows the last of the one before.
class CanonicalCode {
 public:
  explicit CanonicalCode(const std::vector<uint8_t>& lengths) : lengths_(lengths) {
    uint32_t count[16] = {};
    for (uint8_t l : lengths) {
      if (l > 15) throw std::invalid_argument("code length above 15");
      ++count[l];
    }
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int l = 1; l < 16; ++l) {
      code = (code + count[l - 1]) << 1;
      next[l] = code;
    }
    codes_.resize(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] != 0) codes_[s] = next[lengths[s]]++;
    }
  }
  void Write(BitWriter& w, uint32_t symbol) const {
    if (symbol >= lengths_.size() || lengths_[symbol] == 0) {
      throw std::invalid_argument("symbol without a code");
    }
    w.Put(codes_[symbol], lengths_[symbol]);
  }
  uint32_t code(uint32_t symbol) const { return codes_[symbol]; }

 private:
  std::vector<uint8_t> lengths_;
  std::vector<uint32_t> codes_;
};

// Lengths giving `count` symbols a code of (nearly) equal length: the
// shortest complete-or-less code with every symbol present.
inline std::vector<uint8_t> FlatLengths(uint32_t count) {
  uint8_t bits = 1;
  while ((1u << bits) < count) ++bits;
  return std::vector<uint8_t>(count, bits);
}

// The pre-code every table block below uses: all 19 symbols with 5 bits.
inline const CanonicalCode& FlatPrecode() {
  static const CanonicalCode code(std::vector<uint8_t>(19, 5));
  return code;
}

// Writes a table block. `lengths` holds every length of the mode (374 in LZ
// mode, 257 per channel in audio mode). With `previous`, the lengths are coded
// as differences against it (bit 14 set); otherwise as they are. No runs.
inline void WriteTableBlock(BitWriter& w, bool audio, uint32_t channels,
                            const std::vector<uint8_t>& lengths,
                            const std::vector<uint8_t>* previous = nullptr) {
  w.Put(audio ? 1 : 0, 1);
  w.Put(previous ? 1 : 0, 1);
  if (audio) w.Put(channels - 1, 2);
  for (int i = 0; i < 19; ++i) w.Put(5, 4);
  for (size_t i = 0; i < lengths.size(); ++i) {
    uint32_t base = previous ? (*previous)[i] : 0;
    FlatPrecode().Write(w, (lengths[i] - base) & 15);
  }
}

}  // namespace testing_helpers
