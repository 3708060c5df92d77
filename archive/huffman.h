// Canonical Huffman codes of up to 15 bits over alphabets of up to 298 symbols.
//
// A code is kept as the left-justified bound of each code length (`limit`),
// the index of each length's first symbol (`pos`) and the symbols ordered by
// code length, then by symbol number. Decoding finds the shortest length whose
// bound lies above the next 16 input bits (their lowest bit cleared). Nothing
// checks the code for being complete: an index past the symbol list decodes
// to symbols[0], and entries of `symbols` that a build does not fill keep
// what earlier builds of the same table put there. `fast` maps the first
// `fast_bits` input bits straight to a symbol and its length for every code
// of at most that many bits; it gives exactly the results of the bounds.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/bit_input.h"

// The largest alphabet is LZ mode's main one.
inline constexpr uint32_t kMaxSymbols = rar::kMainSymbols;
using rar::kMaxCodeLength;
// The bits of a fast look-up: kFastBits for the LZ and precode tables,
// kAudioFastBits for multimedia ones, whose codes run longer and whose
// pair tables (below) look at one bit more than that.
inline constexpr uint32_t kFastBits = 10;
inline constexpr uint32_t kAudioFastBits = 11;
inline constexpr uint32_t kFastSymbolShift = 6;

struct HuffmanTable {
  uint32_t count;
  uint32_t limit[16];
  uint32_t pos[16];
  uint32_t symbols[kMaxSymbols + 1];  // the last one a sink for absent symbols while building
  uint32_t fast_bits;  // kFastBits or kAudioFastBits
  // (symbol << kFastSymbolShift) | length, or 0 when the first fast_bits
  // bits do not settle the length. With the length in the low six bits an
  // entry can serve as a 64-bit shift count as it is.
  uint16_t fast[1u << kAudioFastBits];
};

namespace huffman_detail {

// A bound clamped to 0xFFFF stands for 0x10000 or more. Decoding compares
// only even values against it, so it acts exactly like 0x10000.
inline uint32_t Unclamped(uint32_t limit) { return limit == 0xFFFF ? 0x10000 : limit; }

inline uint32_t SymbolAt(const HuffmanTable& t, uint32_t index) {
  return index < t.count ? t.symbols[index] : t.symbols[0];
}

}  // namespace huffman_detail

// Look-up entries of the first `bits` input bits (at most 16) of `t`,
// whatever the width of its own fast look-up: out[v] is make(symbol,
// length) where a code of at most `bits` bits starts with v, `rest` where
// none does.
//
// Every bound of a length up to `bits` is a multiple of 2^(16 - len) (or
// clamped), so the first `bits` bits decide both the length and the index
// for all codes that short. The prefixes of one length form a run that
// starts at the previous length's bound; each index covers 2^(bits - len)
// of them in turn.
template <typename Entry, typename Make>
void FillFastEntries(const HuffmanTable& t, uint32_t bits, Entry* out, Entry rest, Make make) {
  const uint32_t shift = 16 - bits;
  constexpr uint32_t kPerWord = 8 / sizeof(Entry);
  uint32_t prefix = 0;
  for (uint32_t len = 1; len <= bits; ++len) {
    uint32_t end = huffman_detail::Unclamped(t.limit[len]) >> shift;
    uint32_t step = 1u << (bits - len);
    for (uint32_t index = t.pos[len]; prefix < end; ++index, prefix += step) {
      Entry entry = make(huffman_detail::SymbolAt(t, index), len);
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
  if (rest == Entry{0}) {
    std::memset(out + prefix, 0, ((1u << bits) - prefix) * sizeof(Entry));
  } else {
    for (uint32_t v = prefix; v < (1u << bits); ++v) out[v] = rest;
  }
}

// Two codes with one look-up: pairs[v] for the next kPairBits input bits v
// is make(s0, s1, l0 + l1), never 0, when they start with a code of `first`
// for a symbol s0 (length l0) and then a code of `second` for a symbol s1
// (length l1), both symbols below `below` (at most 256), and both codes lie
// within the kPairBits bits; otherwise make_single(s0, l0) where the first
// code lies within the first kAudioFastBits bits and s0 is below `below`,
// and 0 elsewhere. Exactly what the decodes give, wherever it is not 0.
// Both tables are built with kAudioFastBits.
inline constexpr uint32_t kPairBits = kAudioFastBits + 1;
template <typename Entry, typename Make, typename MakeSingle>
void BuildPairEntries(const HuffmanTable& first, const HuffmanTable& second, uint32_t below,
                      Entry* pairs, Make make, MakeSingle make_single) {
  // By the first code: a code of la bits covers 2^(kPairBits - la) inputs
  // in a row (two per fast entry), whose remaining bits x run through all
  // values; x << la, cut to the first kAudioFastBits bits, is x << (la - 1).
  // A fast entry of a code that lies within the bits looked at depends only
  // on those bits; the zeros shifted in below them never decide a code
  // short enough to be taken. Whether an input finds a pair is as good as
  // random, so that part goes without branches.
  for (uint32_t i = 0; i < (1u << kAudioFastBits);) {
    const uint32_t a = first.fast[i];
    const uint32_t la = a & 15;
    const uint32_t sa = a >> kFastSymbolShift;
    if (a == 0 || sa >= below) {
      pairs[2 * i] = 0;
      pairs[2 * i + 1] = 0;
      ++i;
      continue;
    }
    const uint32_t room = kPairBits - la;
    const Entry single = make_single(sa & 0xFF, la);
    Entry* out = pairs + 2 * i;
    for (uint32_t x = 0; x < (1u << room); ++x) {
      const uint32_t b = second.fast[x << (la - 1)];
      const uint32_t lb = b & 15;
      const uint32_t sb = b >> kFastSymbolShift;
      const Entry taken = (b != 0) & (sb < below) & (lb <= room);
      // Symbols past `below` are cut to eight bits before they reach
      // `make`; their entries are dropped anyway.
      const Entry mask = Entry{0} - taken;
      out[x] = (make(sa & 0xFF, sb & 0xFF, la + lb) & mask) | (single & ~mask);
    }
    i += 1u << (room - 1);
  }
}

// The same with 0 where no pair is found.
template <typename Entry, typename Make>
void BuildPairEntries(const HuffmanTable& first, const HuffmanTable& second, uint32_t below,
                      Entry* pairs, Make make) {
  BuildPairEntries(first, second, below, pairs, make, [](uint32_t, uint32_t) { return Entry{0}; });
}

// Fast entries of another form: entries[v] for the first `bits` input bits
// v is by_symbol[s] + the code's length where a code of at most `bits` bits
// for symbol s starts, 0 elsewhere.
void BuildFastEntries(const HuffmanTable& table, const uint32_t* by_symbol, uint32_t* entries, uint32_t bits);

// Builds `table` from `count` code lengths (0-15, 0: no code; only the low
// four bits of each byte count), its fast look-up of `fast_bits` bits
// (kFastBits or kAudioFastBits).
void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable& table, uint32_t count,
                       uint32_t fast_bits = kFastBits);

// Decodes from `peek`, the next 16 input bits (first bit in bit 15), and
// stores the code length in `length`. Consumes nothing.
uint32_t DecodeSymbolSlow(const HuffmanTable& table, uint32_t peek, uint32_t& length);

// The same as a fast entry: (symbol << kFastSymbolShift) | length. Returned
// in a register, so that a caller's fast and slow paths meet in one value.
uint32_t DecodeEntrySlow(const HuffmanTable& table, uint32_t peek);

// DecodeEntrySlow inline, for loops that must make no call: a call costs
// them every vector register.
inline uint32_t DecodeEntryInline(const HuffmanTable& t, uint32_t peek) {
  uint32_t v = peek & 0xFFFE;
  uint32_t len = 1;
  // Bounds never decrease with the length: the first one above v wins, and
  // 15 when none up to 14 is.
  while (len < kMaxCodeLength && v >= t.limit[len]) ++len;
  uint32_t index = ((v - t.limit[len - 1]) >> (16 - len)) + t.pos[len];
  uint32_t symbol = index < t.count ? t.symbols[index] : t.symbols[0];
  return (symbol << kFastSymbolShift) | len;
}

inline uint32_t DecodeFromPeek(const HuffmanTable& table, uint32_t peek, uint32_t& length) {
  uint32_t entry = table.fast[(peek & 0xFFFF) >> (16 - table.fast_bits)];
  if (entry != 0) {
    length = entry & 15;
    return entry >> kFastSymbolShift;
  }
  return DecodeSymbolSlow(table, peek, length);
}

// Decodes the next symbol from the reader and consumes its code.
uint32_t DecodeSymbol(PackedBitReader& in, const HuffmanTable& table);

// The same from a BitRegister.
inline uint32_t DecodeSymbol(BitRegister& in, const HuffmanTable& table) {
  // The fast entry straight from the register's top bits: one shift less on
  // the way from one symbol to the next.
  uint32_t entry = table.fast[in.bits >> (64 - table.fast_bits)];
  if (entry == 0) [[unlikely]] entry = DecodeEntrySlow(table, in.Peek16());
  in.Skip(entry & 15);
  return entry >> kFastSymbolShift;
}
