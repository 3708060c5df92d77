// Code lengths for canonical Huffman codes, limited to a maximum length.
//
// The decoder builds its tables from lengths alone: symbols are ordered by
// length and, within one length, by symbol number, and the first code of each
// length follows the last code of the shorter lengths. These helpers produce
// lengths that are optimal under the limit and the codes that go with them.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive_format.h"

namespace pack {

inline constexpr int kMaxCodeLength = static_cast<int>(rar::kMaxCodeLength);

// Optimal lengths (package-merge) for `freqs`, none longer than `max_length`.
// Symbols of frequency 0 get length 0. A single used symbol gets length 1, so
// that it still has a code of one bit.
std::vector<uint8_t> LimitedCodeLengths(const std::vector<uint64_t>& freqs, int max_length = kMaxCodeLength);

// The canonical code of every symbol with a non-zero length, right-aligned.
std::vector<uint16_t> CanonicalCodes(const std::vector<uint8_t>& lengths);

// Total bits of coding `freqs` with `lengths`; symbols used without a code
// make it "impossible", returned as UINT64_MAX.
uint64_t CodedBits(const std::vector<uint64_t>& freqs, const uint8_t* lengths);

}  // namespace pack
