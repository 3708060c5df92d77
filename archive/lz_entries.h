// Look-up tables for the LZ steps, derived from the main, distance and
// repeat tables whenever these change: for each first kMainEntryBits input
// bits (kFastBits for the distance and repeat entries), what the code there
// stands for, with the count of the extra bits that follow it and the base
// they add to. A match then takes its code and its extra bits with one
// shift, without waiting for a second look-up of the extra bits' count.
//
// An entry holds the bits to consume (code and extra bits) in bits 0-5 and
// the extra bits' count in bits 6-10. Main entries hold a kind in bits 24-31
// (kLiteral ... kNewTables) and a value in bits 16-23: the literal byte, the
// length's base (with rar::kMatchLengthBase) of a match with coded length and
// distance, the distance's base (with rar::kDistanceBias) of a short match, or
// how far back the recent distance lies (1 for 257, the newest, to 4).
// Distance and repeat entries hold the base (with rar::kDistanceBias and
// rar::kRecentLengthBase) in bits 11-31. An entry of 0: the code is longer than
// the look-up's bits, decode it through the bounds.
#pragma once

#include <cstdint>

#include "archive/code_tables.h"
#include "archive/huffman.h"

enum LzKind : uint32_t {
  kLiteral = 0,
  kLongMatch = 1,
  kShortMatch = 2,
  kRecentMatch = 3,
  kRepeatLast = 4,
  kNewTables = 5,
};

// The main entries look at kMainEntryBits: the literals of sampled sound in
// LZ mode run to codes of 11 bits and more, which 10 bits would leave to
// the bounds (XM 3% and MOD 2% faster; 11 bits for the distance and repeat
// entries too cost more to build than they gained, text 4% slower).
inline constexpr uint32_t kMainEntryBits = 11;
struct LzEntries {
  uint32_t main[1u << kMainEntryBits];
  uint32_t distance[1u << kFastBits];
  uint32_t repeat[1u << kFastBits];
};

// The entries of the current LZ tables, and the generation of the tables
// (DecoderTables::lz_generation) they were built from.
struct LzEntryTables {
  LzEntries entries;
  uint32_t generation;
  bool built;
};

// Derives the three from the tables' main, distance and repeat tables.
void BuildLzEntries(const DecoderTables& tables, LzEntries& entries);

// The entry of one main symbol as if its code were 0 bits long (the code's
// length is added to the bits to consume); likewise for the others.
uint32_t MainEntryOf(uint32_t symbol);
uint32_t DistanceEntryOf(uint32_t slot);
uint32_t RepeatEntryOf(uint32_t slot);

inline uint32_t EntryConsume(uint32_t entry) { return entry & 63; }
inline uint32_t EntryExtraCount(uint32_t entry) { return (entry >> 6) & 31; }
inline uint32_t EntryKind(uint32_t entry) { return entry >> 24; }
inline uint32_t EntryValue(uint32_t entry) { return (entry >> 16) & 0xFF; }
inline uint32_t EntryBase(uint32_t entry) { return entry >> 11; }
// A literal's entry (an entry of 0 is not one: its code is long).
inline bool IsLiteralEntry(uint32_t entry) { return entry - 1 < (uint32_t{kLiteral + 1} << 24) - 1; }

// The extra bits of `entry` from `bits`, the bit register's contents before
// the entry is consumed (first bit in bit 63).
inline uint32_t EntryExtra(uint64_t bits, uint32_t entry) {
  return static_cast<uint32_t>(bits >> (64 - EntryConsume(entry))) &
         ((1u << EntryExtraCount(entry)) - 1);
}
