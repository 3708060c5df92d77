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
// len) of them in turn. `make(symbol, length)` gives the entry.
template <typename Entry, typename Make>
void FillFast(const HuffmanTable& t, Entry* out, Make make) {
  constexpr uint32_t kShift = 16 - kFastBits;
  constexpr uint32_t kPerWord = 8 / sizeof(Entry);
  uint32_t prefix = 0;
  for (uint32_t len = 1; len <= kFastBits; ++len) {
    uint32_t end = Unclamped(t.limit[len]) >> kShift;
    uint32_t step = 1u << (kFastBits - len);
    for (uint32_t index = t.pos[len]; prefix < end; ++index, prefix += step) {
      Entry entry = make(SymbolAt(t, index), len);
      if (step >= kPerWord) {
        // Runs of whole 64-bit words: a word at a time.
        uint64_t word = entry;
        for (uint32_t k = sizeof(Entry); k < 8; k *= 2) word |= word << (8 * k);
        for (uint32_t i = 0; i < step; i += kPerWord) std::memcpy(out + prefix + i, &word, 8);
      } else {
        for (uint32_t i = 0; i < step; ++i) out[prefix + i] = entry;
      }
    }
  }
  std::memset(out + prefix, 0, ((1u << kFastBits) - prefix) * sizeof(Entry));
}

void BuildFastTable(HuffmanTable& t) {
  FillFast(t, t.fast, [](uint32_t symbol, uint32_t len) {
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

void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable& t, uint32_t count) {
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
  BuildFastTable(t);
}

void BuildFastEntries(const HuffmanTable& table, const uint32_t* by_symbol, uint32_t* entries) {
  FillFast(table, entries, [by_symbol](uint32_t symbol, uint32_t len) {
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
  return SymbolAt(t, ((v - t.limit[len - 1]) >> (16 - len)) + t.pos[len]);
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
