// The compressed format's alphabets, slot tables, window and length rule as
// the packer uses them (all from archive/archive_format.h), and the slot of a
// length or distance: a Huffman-coded slot plus raw extra bits.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"

namespace pack::codes {

using rar::kDistanceSymbols;
using rar::kLzLengths;
using rar::kMainSymbols;
using rar::kRepeatSymbols;

using rar::kLiteralCount;
using rar::kMatchFirst;
using rar::kNewTables;
using rar::kRecentFirst;
using rar::kRepeatLast;
using rar::kShortFirst;

using rar::kAudioNewTables;
using rar::kAudioSymbols;
using rar::kMaxChannels;
using rar::kMaxTableLengths;

using rar::kMaxDistance;
using rar::kWindowSize;

using rar::kDistanceBase;
using rar::kDistanceExtraBits;
using rar::kLengthBase;
using rar::kLengthExtraBits;
using rar::kShortDistanceBase;
using rar::kShortDistanceExtraBits;

// Slot of a coded length value 0-255 (the length minus its symbol's minimum).
int LengthSlot(uint32_t value);
// Slot of a distance minus 1, 0 to kMaxDistance - 1.
int DistanceSlot(uint32_t value);
// Slot of a short distance minus 1, 0 to 255.
int ShortDistanceSlot(uint32_t value);

// What the decoder adds to a length coded with symbols 257-260, and with
// symbols 270-297, for a match at `distance`.
inline uint32_t RecentLengthBonus(uint32_t distance) {
  return rar::LengthBonus(rar::LengthCoding::kAtRecentDistance, distance);
}
inline uint32_t MatchLengthBonus(uint32_t distance) {
  return rar::LengthBonus(rar::LengthCoding::kWithDistance, distance);
}

// Short matches (261-268) reach this far.
inline constexpr uint32_t kShortDistanceEnd =
    rar::SlotsEnd(rar::kShortDistanceBase, rar::kShortDistanceExtraBits);

// The longest coded lengths (before the bonus) of symbols 257-260 and of
// symbols 270-297; the shortest are rar::kRecentLengthBase and
// rar::kMatchLengthBase.
inline constexpr uint32_t kLongestSlotValue = rar::SlotsEnd(rar::kLengthBase, rar::kLengthExtraBits) - 1;
inline constexpr uint32_t kLongestRecentCoded = rar::kRecentLengthBase + kLongestSlotValue;  // 257
inline constexpr uint32_t kLongestMatchCoded = rar::kMatchLengthBase + kLongestSlotValue;    // 258

// Length ranges each symbol kind can express at a given distance.
inline uint32_t MinRecentLength(uint32_t d) { return rar::kRecentLengthBase + RecentLengthBonus(d); }
inline uint32_t MaxRecentLength(uint32_t d) { return kLongestRecentCoded + RecentLengthBonus(d); }
inline uint32_t MinMatchLength(uint32_t d) { return rar::kMatchLengthBase + MatchLengthBonus(d); }
inline uint32_t MaxMatchLength(uint32_t d) { return kLongestMatchCoded + MatchLengthBonus(d); }

}  // namespace pack::codes
