// Parsing: turning a stretch of the history buffer into literals and matches.
//
// Two parsers share one output: greedy or lazy matching for the fast levels,
// and a cost-driven shortest-path parse for the best levels. Both know the
// decoder's match history, so they take recent distances, the previous match
// and short matches wherever those are cheaper than a full match.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/pack/compressor/lz_codes.h"
#include "tools/pack/compressor/match_finder.h"

namespace pack {

// A literal (distance 0, length 1) or a match.
struct Token {
  uint32_t length;
  uint32_t distance;
};

enum class ParseMethod { kGreedy, kLazy, kOptimal };

struct ParseSettings {
  ParseMethod method = ParseMethod::kLazy;
  uint32_t nice = 128;   // a match this long is taken without looking further
  int passes = 1;        // optimal parse: rounds that reprice with their own result
};

// Parses buf[begin, end) after `history` (the decoder's history at `begin`);
// no match reaches past `end`. The buffer holds data up to `data_end`, which
// the finder may look at. Every position of the range is entered into
// `finder`. Tokens are appended to `out`; `prices` is updated to the
// statistics of what was parsed, for the next range.
void Parse(const uint8_t* buf, uint32_t begin, uint32_t end, uint32_t data_end, MatchHistory history,
           LzPrices& prices, MatchFinder& finder, const ParseSettings& settings, std::vector<Token>& out);

}  // namespace pack
