// Canonical Huffman codes of up to 15 bits over alphabets of up to 298 symbols.
//
// A code is kept as the left-justified bound of each code length (`limit`),
// the index of each length's first symbol (`pos`) and the symbols ordered by
// code length, then by symbol number. Decoding finds the shortest length whose
// bound lies above the next 16 input bits (their lowest bit cleared). Nothing
// checks the code for being complete: an index past the symbol list decodes
// to symbols[0], and entries of `symbols` that a build does not fill keep
// what earlier builds of the same table put there. `fast` maps the first
// kFastBits input bits straight to a symbol and its length for every code of
// at most kFastBits bits; it gives exactly the results of the bounds.
#pragma once

#include <cstdint>

#include "archive/bit_input.h"

inline constexpr uint32_t kMaxSymbols = 298;
inline constexpr uint32_t kMaxCodeLength = 15;
inline constexpr uint32_t kFastBits = 10;
inline constexpr uint32_t kFastSymbolShift = 6;

struct HuffmanTable {
  uint32_t count;
  uint32_t limit[16];
  uint32_t pos[16];
  uint32_t symbols[kMaxSymbols];
  // (symbol << kFastSymbolShift) | length, or 0 when the first kFastBits bits
  // do not settle the length. With the length in the low six bits an entry
  // can serve as a 64-bit shift count as it is.
  uint16_t fast[1u << kFastBits];
};

// Builds `table` from `count` code lengths (0-15, 0: no code; only the low
// four bits of each byte count).
void BuildHuffmanTable(const uint8_t* lengths, HuffmanTable& table, uint32_t count);

// Decodes from `peek`, the next 16 input bits (first bit in bit 15), and
// stores the code length in `length`. Consumes nothing.
uint32_t DecodeSymbolSlow(const HuffmanTable& table, uint32_t peek, uint32_t& length);

inline uint32_t DecodeFromPeek(const HuffmanTable& table, uint32_t peek, uint32_t& length) {
  uint32_t entry = table.fast[(peek & 0xFFFF) >> (16 - kFastBits)];
  if (entry != 0) {
    length = entry & 15;
    return entry >> kFastSymbolShift;
  }
  return DecodeSymbolSlow(table, peek, length);
}

// Decodes the next symbol from the bit reader and consumes its code.
uint32_t DecodeSymbol(const HuffmanTable& table);

// The same from a BitRegister.
inline uint32_t DecodeSymbol(BitRegister& in, const HuffmanTable& table) {
  uint32_t length;
  uint32_t symbol = DecodeFromPeek(table, in.Peek16(), length);
  in.Skip(length);
  return symbol;
}
