// Test-only writer of whole compressed streams, symbol by symbol, with the
// expected output kept beside it, and the archives that carry them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "archive/archive_format.h"
#include "tests/archive/bit_writer.h"
#include "tools/pack/archive_writer.h"

namespace testing_helpers {

using Lengths = std::vector<uint8_t>;

// Every LZ symbol with a code: main 9 bits, distance 6, repeat 5.
inline Lengths FlatLzLengths() {
  Lengths lengths = FlatLengths(298);
  Lengths distance = FlatLengths(48);
  Lengths repeat = FlatLengths(28);
  lengths.insert(lengths.end(), distance.begin(), distance.end());
  lengths.insert(lengths.end(), repeat.begin(), repeat.end());
  return lengths;
}

class StreamWriter {
 public:
  BitWriter bits;

  // An LZ table block; its codes serve the symbols that follow.
  void LzTables(const Lengths& lengths = FlatLzLengths(), bool as_differences = false) {
    WriteTableBlock(bits, false, 1, lengths, as_differences ? &previous_ : nullptr);
    Remember(lengths);
    main_ = CanonicalCode(Lengths(lengths.begin(), lengths.begin() + 298));
    distance_ = CanonicalCode(Lengths(lengths.begin() + 298, lengths.begin() + 346));
    repeat_ = CanonicalCode(Lengths(lengths.begin() + 346, lengths.begin() + 374));
  }
  // An audio table block with the same 257 lengths on every channel (by
  // default every symbol 9 bits).
  void AudioTables(uint32_t channels, const Lengths& per_channel = Lengths(257, 9)) {
    Lengths lengths;
    for (uint32_t c = 0; c < channels; ++c) {
      lengths.insert(lengths.end(), per_channel.begin(), per_channel.end());
    }
    WriteTableBlock(bits, true, channels, lengths);
    Remember(lengths);
    audio_ = CanonicalCode(per_channel);
  }

  void Main(uint32_t symbol) { main_.Write(bits, symbol); }
  void Literal(uint8_t byte) { Main(byte); }
  void Literals(const std::string& text) {
    for (char c : text) Literal(static_cast<uint8_t>(c));
  }
  // 257-260: `which` 0 is the newest distance; the length's slot and extra bits.
  void Recent(uint32_t which, uint32_t slot, uint32_t extra = 0) {
    Main(257 + which);
    repeat_.Write(bits, slot);
    bits.Put(extra, rar::kLengthExtraBits[slot]);
  }
  // 261-268 with the distance's extra bits.
  void Short(uint32_t k, uint32_t extra) {
    Main(261 + k);
    bits.Put(extra, rar::kShortDistanceExtraBits[k]);
  }
  // 270-297 with a coded length of 3 to 258 and a distance of 1 to 2^20.
  void Match(uint32_t coded_length, uint32_t distance) {
    uint32_t k = Slot(rar::kLengthBase, 28, coded_length - 3);
    uint32_t d = Slot(rar::kDistanceBase, 48, distance - 1);
    Main(270 + k);
    bits.Put(coded_length - 3 - rar::kLengthBase[k], rar::kLengthExtraBits[k]);
    distance_.Write(bits, d);
    bits.Put(distance - 1 - rar::kDistanceBase[d], rar::kDistanceExtraBits[d]);
  }
  // A coded length of 2 to 257 in the repeat table's terms (257-260).
  void RecentLength(uint32_t which, uint32_t coded_length) {
    uint32_t slot = Slot(rar::kLengthBase, 28, coded_length - 2);
    Recent(which, slot, coded_length - 2 - rar::kLengthBase[slot]);
  }
  void AudioSymbol(uint32_t symbol) { audio_.Write(bits, symbol); }

  Bytes Packed() const { return bits.bytes(); }

 private:
  template <typename T>
  static uint32_t Slot(const T* base, uint32_t count, uint32_t value) {
    uint32_t slot = 0;
    while (slot + 1 < count && base[slot + 1] <= value) ++slot;
    return slot;
  }
  void Remember(const Lengths& lengths) {
    std::copy(lengths.begin(), lengths.end(), previous_.begin());
  }

  Lengths previous_ = Lengths(1028, 0);
  CanonicalCode main_{Lengths(298, 0)};
  CanonicalCode distance_{Lengths(48, 0)};
  CanonicalCode repeat_{Lengths(28, 0)};
  CanonicalCode audio_{Lengths(257, 0)};
};

// The output kept beside a stream, through a plain model of the window: a
// fresh window of zeros, and matches copied one byte at a time.
struct Expected {
  Bytes bytes;
  std::vector<uint8_t> window = std::vector<uint8_t>(size_t{1} << 20, 0);
  uint32_t pos = 0;

  void Byte(uint8_t b) {
    window[pos] = b;
    pos = (pos + 1) & 0xFFFFF;
    bytes.push_back(b);
  }
  void Text(const std::string& text) {
    for (char c : text) Byte(static_cast<uint8_t>(c));
  }
  void Copy(uint32_t distance, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) Byte(window[(pos - distance) & 0xFFFFF]);
  }
};

// A compressed file block (method 0x33) carrying `packed` for `content`.
inline pack::FileBlock Compressed(const std::string& name, const Bytes& packed,
                                  const Bytes& content, uint16_t extra_flags = 0) {
  pack::FileBlock block;
  block.name = name;
  block.method = 0x33;
  block.flags = static_cast<uint16_t>(0x8000 | extra_flags);
  block.data = packed;
  block.unpacked_size = static_cast<uint32_t>(content.size());
  block.file_crc = Crc32Of(content.data(), content.size());
  return block;
}

}  // namespace testing_helpers
