// LZ-mode codes: how a literal or a match becomes main-table symbols, slot
// symbols and extra bits, what it costs, and what it does to the decoder's
// match history.
//
// A match is a (length, distance) pair; which symbol carries it (256 for the
// previous match again, 257-260 for a recent distance, 261-268 for a short
// match, 270-297 for any other) depends on the history, and every choice
// leaves the same history behind: the distance is pushed and the match
// becomes the previous match.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/pack/compressor/bit_writer.h"
#include "tools/pack/compressor/code_slots.h"

namespace pack {

// The decoder's recent distances and previous match.
struct MatchHistory {
  uint32_t recent[4] = {0, 0, 0, 0};  // ring, written at slot `pushes` & 3
  uint32_t pushes = 0;
  uint32_t prev_length = 0;
  uint32_t prev_distance = 0;

  // k = 0 is the newest distance (symbol 257), k = 3 the oldest (260).
  uint32_t Recent(int k) const { return recent[(pushes - 1 - k) & 3]; }
  void Apply(uint32_t length, uint32_t distance) {
    recent[pushes & 3] = distance;
    ++pushes;
    prev_length = length;
    prev_distance = distance;
  }
};

// One coded item of the LZ stream.
struct LzCode {
  uint16_t main = 0;        // main-table symbol
  uint8_t slot = 0;         // distance slot (270-297) or repeat-length slot (257-260)
  uint8_t bits1 = 0;        // extra bits of the length, or of the short distance
  uint8_t bits2 = 0;        // extra bits of the distance (270-297)
  uint16_t extra1 = 0;
  uint32_t extra2 = 0;
};

// Symbol frequencies of a run of codes, in the order of the table block:
// main, distance, repeat.
struct LzStats {
  std::vector<uint64_t> main = std::vector<uint64_t>(codes::kMainSymbols, 0);
  std::vector<uint64_t> distance = std::vector<uint64_t>(codes::kDistanceSymbols, 0);
  std::vector<uint64_t> repeat = std::vector<uint64_t>(codes::kRepeatSymbols, 0);
  uint64_t extra_bits = 0;

  void Add(const LzCode& code);
  void Add(const LzStats& other);
  // Takes a quarter off every count, so that older blocks weigh less.
  void Decay();
  // Literals, and matches of every kind.
  uint64_t Literals() const;
  uint64_t Matches() const;
};

// What decoding a literal or a match costs beyond its bits, priced in bits,
// so that a parse and a choice of mode weigh the two together. The decoder
// runs through literals a few cycles each, but a token of the kind that its
// neighbours are not (a match among literals, a literal among matches)
// costs it a mispredicted branch, and a match its second look-up and copy
// besides. So a match costs kMatchBits, and either kind kSwitchBits times
// the share of the other kind among the tokens of `stats` (how likely its
// neighbours are of the other kind). On modules from elsewhere, with the
// mode planner's price of multimedia bytes to match (mode_planner.cpp),
// against bits alone: 37% to 54% fewer matches, 6% to 8% faster to decode,
// sizes within 0.6% either way; text 1% faster, whose few literals now cost
// more than its matches.
struct DecodingPrices {
  double literal;
  double match;
};
inline constexpr double kMatchBits = 2.0;
inline constexpr double kSwitchBits = 3.0;
DecodingPrices DecodingPricesOf(const LzStats& stats);

// Prices are in 1/16 bit, fine enough that rounding does not decide between
// close choices.
inline constexpr uint32_t kPriceScale = 16;

// Costs of the LZ alphabets in 1/16 bit, with the length parts folded in so
// that a match is priced with a few lookups.
struct LzPrices {
  uint32_t main[codes::kMainSymbols];
  uint32_t distance[codes::kDistanceSymbols];  // slot symbol and its extra bits
  uint32_t repeat[codes::kRepeatSymbols];
  // By coded length, from rar::kMatchLengthBase and rar::kRecentLengthBase:
  // the main symbol and its extra bits, the repeat symbol and its extra bits.
  uint32_t match_length[codes::kLongestMatchCoded + 1];
  uint32_t recent_length[codes::kLongestRecentCoded + 1];

  // From frequencies (their information content, rounded), with the
  // decoding prices of the same frequencies added.
  static LzPrices FromStats(const LzStats& stats);
  // A start for data nothing is known about yet.
  static LzPrices Initial();

  uint32_t Literal(uint8_t b) const { return main[b]; }
  uint32_t DistancePrice(uint32_t distance) const {
    return this->distance[codes::DistanceSlot(distance - rar::kDistanceBias)];
  }

 private:
  void Derive();
};

inline LzCode LiteralCode(uint8_t b) {
  LzCode c;
  c.main = b;
  return c;
}

// The cheapest code for a match of `length` at `distance` after `history`.
// Returns false when no symbol can express it (too short for the distance,
// or a length 2 at a distance that is neither short nor recent).
bool CodeMatch(uint32_t length, uint32_t distance, const MatchHistory& history, const LzPrices& prices,
               LzCode* code, uint32_t* bits);

// Code lengths and codes of the three LZ tables, as the decoder will build them.
struct LzTables {
  std::vector<uint8_t> lengths;  // 374: main, distance, repeat
  std::vector<uint16_t> codes;

  explicit LzTables(std::vector<uint8_t> lengths);
  uint64_t Bits(const LzStats& stats) const;  // UINT64_MAX when a used symbol has no code
};

void WriteLzCode(BitWriter& out, const LzCode& code, const LzTables& tables);

}  // namespace pack
