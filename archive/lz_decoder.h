// LZ decoding of RAR 2.0 compressed files, and the loop that runs a file's
// whole packed data through the decoder.
//
// Main symbols: 0-255 a literal; 256 the previous match again; 257-260 a
// match at one of the four recent distances with a coded length; 261-268 a
// two-byte match at a short distance; 269 a new table block; 270-297 a match
// with a coded length and distance. Lengths grow by one at distance 257 (only
// through 257-260), 8192 and 262144. In a solid stream the window, the match
// history, the tables and the audio state carry over from file to file.
#pragma once

#include <cstdint>

struct MatchHistory {
  uint32_t recent_distances[4];
  uint32_t recent_next;  // pushes so far; slot (recent_next - 1) & 3 is the newest
  uint32_t prev_length;  // of the last match from 257-268 or 270-297
  uint32_t prev_distance;
};

extern MatchHistory match_history;

// Base and extra bits per slot: each base is the previous one plus 2 to the
// previous slot's extra bits.
inline constexpr uint8_t LengthBase[28] = {0,  1,  2,  3,  4,  5,  6,   7,   8,   10,
                                           12, 14, 16, 20, 24, 28, 32,  40,  48,  56,
                                           64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t LengthExtraBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint32_t DistanceBase[48] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,
    32,     48,     64,     96,     128,    192,    256,    384,    512,    768,
    1024,   1536,   2048,   3072,   4096,   6144,   8192,   12288,  16384,  24576,
    32768,  49152,  65536,  98304,  131072, 196608, 262144, 327680, 393216, 458752,
    524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
inline constexpr uint8_t DistanceExtraBits[48] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
inline constexpr uint8_t ShortDistanceBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t ShortDistanceExtraBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Prepares the decoder for the current file. `continues`: the file carries on
// the solid stream decoded so far in this call; then only the input position
// restarts. Otherwise the window (deferred, see sliding_window.h), the match
// history, the audio state and the previous lengths are cleared.
void ResetDecoderState(bool continues);

// Stores a distance in the ring of recent ones.
void PushDistance(uint32_t distance);

// The next n bits (0-16) as a number; 0 bits read nothing.
uint32_t ReadExtraBits(uint32_t n);

// UnpackFile(window) and bytes_left are declared in archive/extract.h.
