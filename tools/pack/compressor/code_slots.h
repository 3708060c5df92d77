// The symbol alphabets of the compressed format and the slot tables that
// split lengths and distances into a Huffman-coded slot plus raw extra bits.
//
// Every base table follows one rule: entry 0 is 0 and each further base is the
// previous base plus 2 to the power of the previous entry's extra-bit count.
// The decoder adds fixed adjustments to lengths depending on the distance and
// on the symbol that carried it; the helpers here state them once.
#pragma once

#include <cstdint>

namespace pack::codes {

// LZ mode: one main alphabet, the distance slots and the repeat-length slots.
inline constexpr int kMainSymbols = 298;
inline constexpr int kDistanceSymbols = 48;
inline constexpr int kRepeatSymbols = 28;
inline constexpr int kLzLengths = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374

inline constexpr int kRepeatLast = 256;    // the previous match again
inline constexpr int kRecentFirst = 257;   // 257-260: the four recent distances
inline constexpr int kShortFirst = 261;    // 261-268: length 2, distance 1-256
inline constexpr int kNewTables = 269;     // a table block follows
inline constexpr int kMatchFirst = 270;    // 270-297: length slot, then a distance

// Multimedia mode: one alphabet per channel; 256 announces a table block.
inline constexpr int kAudioSymbols = 257;
inline constexpr int kAudioNewTables = 256;
inline constexpr int kMaxChannels = 4;

// The most code lengths one table block carries (four audio channels).
inline constexpr int kMaxTableLengths = kAudioSymbols * kMaxChannels;  // 1028

inline constexpr uint32_t kWindowSize = 1u << 20;
inline constexpr uint32_t kMaxDistance = kWindowSize;
inline constexpr uint32_t kMaxMatch = 260;

inline constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,   10,  12,  14,  16,  20,
                                            24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t kLengthExtraBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

inline constexpr uint32_t kDistanceBase[48] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
inline constexpr uint8_t kDistanceExtraBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,
                                                   5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
                                                   11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16,
                                                   16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

inline constexpr uint8_t kShortDistanceBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t kShortDistanceExtraBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Slot of a coded length value 0-255 (the length minus its symbol's minimum).
int LengthSlot(uint32_t value);
// Slot of a distance minus 1, 0 to kMaxDistance - 1.
int DistanceSlot(uint32_t value);
// Slot of a short distance minus 1, 0 to 255.
int ShortDistanceSlot(uint32_t value);

// What the decoder adds to a length coded with symbols 257-260, and with
// symbols 270-297, for a match at `distance`.
inline uint32_t RecentLengthBonus(uint32_t distance) {
  return (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
}
inline uint32_t MatchLengthBonus(uint32_t distance) {
  return (distance >= 0x2000) + (distance >= 0x40000);
}

// Length ranges each symbol kind can express at a given distance.
inline uint32_t MinRecentLength(uint32_t distance) { return 2 + RecentLengthBonus(distance); }
inline uint32_t MaxRecentLength(uint32_t distance) { return 257 + RecentLengthBonus(distance); }
inline uint32_t MinMatchLength(uint32_t distance) { return 3 + MatchLengthBonus(distance); }
inline uint32_t MaxMatchLength(uint32_t distance) { return 258 + MatchLengthBonus(distance); }

}  // namespace pack::codes
