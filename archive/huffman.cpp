#include "archive/huffman.h"

#include <cstring>

#include "archive/bit_input.h"

namespace {

// A bound clamped to 0xFFFF stands for 0x10000 or more. Decoding compares
// only even values against it, so it acts exactly like 0x10000.
uint32_t Unclamped(uint32_t limit) { return limit == 0xFFFF ? 0x10000 : limit; }

uint32_t SymbolAt(const HuffmanTable& t, uint32_t index) {
  return index < t.count ? t.symbols[index] : t.symbols[0];
}

// Every bound of a length up to kFastBits is a multiple of 2^(16 - len)
// (or clamped), so the first kFastBits bits decide both the length and the
// index for all codes that short. The prefixes of one length form a run that
// starts at the previous length's bound; each index covers 2^(kFastBits -
// len) of them in turn.
void BuildFastTable(HuffmanTable& t) {
  constexpr uint32_t kShift = 16 - kFastBits;
  uint32_t prefix = 0;
  for (uint32_t len = 1; len <= kFastBits; ++len) {
    uint32_t end = Unclamped(t.limit[len]) >> kShift;
    uint32_t step = 1u << (kFastBits - len);
    for (uint32_t index = t.pos[len]; prefix < end; ++index, prefix += step) {
      uint16_t entry = static_cast<uint16_t>((SymbolAt(t, index) << kFastSymbolShift) | len);
      if (step >= 4) {
        // Runs of a multiple of four entries: four at a time.
        uint64_t four = entry * 0x0001000100010001ull;
        for (uint32_t i = 0; i < step; i += 4) std::memcpy(t.fast + prefix + i, &four, 8);
      } else {
        for (uint32_t i = 0; i < step; ++i) t.fast[prefix + i] = entry;
      }
    }
  }
  std::memset(t.fast + prefix, 0, ((1u << kFastBits) - prefix) * sizeof t.fast[0]);
}

}  // namespace

void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable& t, uint32_t count) {
  uint32_t n[16] = {};
  for (uint32_t i = 0; i < count; ++i) ++n[lengths[i] & 15];
  n[0] = 0;
  t.limit[0] = 0;
  t.pos[0] = 0;
  // At most 1028 lengths, so c stays far below 2^32 even for an
  // over-subscribed code.
  uint32_t c = 0;
  for (uint32_t len = 1; len <= kMaxCodeLength; ++len) {
    c = (c + n[len]) * 2;
    uint32_t limit = c << (15 - len);
    t.limit[len] = limit > 0xFFFF ? 0xFFFF : limit;
    t.pos[len] = t.pos[len - 1] + n[len - 1];
  }
  uint32_t next[16];
  for (uint32_t len = 0; len < 16; ++len) next[len] = t.pos[len];
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t len = lengths[i] & 15;
    if (len != 0) t.symbols[next[len]++] = i;
  }
  t.count = count;
  BuildFastTable(t);
}

void BuildPairTable(const HuffmanTable& first, const HuffmanTable& second, uint32_t below,
                    uint32_t* pairs) {
  static_assert(kPairBits > kFastBits && kPairBits < 16);
  constexpr uint32_t kMask = (1u << kPairBits) - 1;
  constexpr uint32_t kToFast = kPairBits - kFastBits;
  for (uint32_t v = 0; v <= kMask; ++v) {
    uint32_t entry = 0;
    uint32_t a = first.fast[v >> kToFast];
    uint32_t la = a & 15;
    // A fast entry of a code that lies within the bits looked at depends
    // only on those bits; the zeros shifted in below the kPairBits never
    // decide a code short enough to be taken.
    if (a != 0 && (a >> kFastSymbolShift) < below && la < kPairBits) {
      uint32_t b = second.fast[((v << la) & kMask) >> kToFast];
      uint32_t lb = b & 15;
      if (b != 0 && (b >> kFastSymbolShift) < below && la + lb <= kPairBits) {
        entry = ((b >> kFastSymbolShift) << 24) | ((a >> kFastSymbolShift) << 16) | (la + lb);
      }
    }
    pairs[v] = entry;
  }
}

uint32_t DecodeSymbolSlow(const HuffmanTable& t, uint32_t peek, uint32_t& length) {
  uint32_t v = peek & 0xFFFE;
  uint32_t len = 1;
  // Bounds never decrease with the length: the first one above v wins, and
  // 15 when none up to 14 is.
  while (len < kMaxCodeLength && v >= t.limit[len]) ++len;
  length = len;
  return SymbolAt(t, ((v - t.limit[len - 1]) >> (16 - len)) + t.pos[len]);
}

uint32_t DecodeEntrySlow(const HuffmanTable& table, uint32_t peek) {
  uint32_t length;
  uint32_t symbol = DecodeSymbolSlow(table, peek, length);
  return (symbol << kFastSymbolShift) | length;
}

uint32_t DecodeSymbol(const HuffmanTable& table) {
  uint32_t length;
  uint32_t symbol = DecodeFromPeek(table, PeekBits16(), length);
  SkipBits(length);
  return symbol;
}
