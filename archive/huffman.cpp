#include "archive/huffman.h"

#include <cstring>

#include "archive/bit_input.h"

namespace {

void BuildFastTable(HuffmanTable& t) {
  FillFastEntries(t, t.fast_bits, t.fast, uint16_t{0}, [](uint32_t symbol, uint32_t len) {
    return static_cast<uint16_t>((symbol << kFastSymbolShift) | len);
  });
}

// Eight lengths at a time, so that a stretch of absent symbols (most of a
// small file's alphabet) is passed over quickly.
inline bool AllAbsent(const uint8_t* lengths) {
  uint64_t eight;
  std::memcpy(&eight, lengths, 8);
  return (eight & 0x0F0F0F0F0F0F0F0Full) == 0;
}

}  // namespace

void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable& t, uint32_t count, uint32_t fast_bits) {
  // Four counts per length, so that the increments of a run of equal
  // lengths do not each wait for the one before.
  uint32_t n4[4][16] = {};
  uint32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    if (AllAbsent(lengths + i)) continue;
    for (uint32_t k = 0; k < 8; ++k) ++n4[k & 3][lengths[i + k] & 15];
  }
  for (; i < count; ++i) ++n4[i & 3][lengths[i] & 15];
  uint32_t n[16];
  for (uint32_t len = 0; len < 16; ++len) n[len] = n4[0][len] + n4[1][len] + n4[2][len] + n4[3][len];
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
  // Absent symbols go to the sink past the list, without a branch: which
  // lengths are 0 is as good as random.
  next[0] = kMaxSymbols;
  for (i = 0; i < count; ++i) {
    if ((i & 7) == 0 && i + 8 <= count && AllAbsent(lengths + i)) {
      i += 7;
      continue;
    }
    uint32_t len = lengths[i] & 15;
    t.symbols[next[len]] = i;
    next[len] += len != 0 ? 1 : 0;
  }
  t.count = count;
  t.fast_bits = fast_bits;
  BuildFastTable(t);
}

void BuildFastEntries(const HuffmanTable& table, const uint32_t* by_symbol, uint32_t* entries, uint32_t bits) {
  FillFastEntries(table, bits, entries, 0u, [by_symbol](uint32_t symbol, uint32_t len) {
    return by_symbol[symbol] + len;
  });
}

uint32_t DecodeSymbolSlow(const HuffmanTable& t, uint32_t peek, uint32_t& length) {
  uint32_t v = peek & 0xFFFE;
  uint32_t len = 1;
  // Bounds never decrease with the length: the first one above v wins, and
  // 15 when none up to 14 is.
  while (len < kMaxCodeLength && v >= t.limit[len]) ++len;
  length = len;
  return huffman_detail::SymbolAt(t, ((v - t.limit[len - 1]) >> (16 - len)) + t.pos[len]);
}

uint32_t DecodeEntrySlow(const HuffmanTable& table, uint32_t peek) {
  uint32_t length;
  uint32_t symbol = DecodeSymbolSlow(table, peek, length);
  return (symbol << kFastSymbolShift) | length;
}

uint32_t DecodeSymbol(PackedBitReader& in, const HuffmanTable& table) {
  uint32_t length;
  uint32_t symbol = DecodeFromPeek(table, PeekBits16(in), length);
  SkipBits(in, length);
  return symbol;
}
