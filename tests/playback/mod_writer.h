// A small ProTracker module writer for tests and benchmarks: 4 channels,
// 31 sample slots, 64-row patterns ("M.K." layout), 8-bit signed samples.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ModSample {
  std::vector<int8_t> data;  // even length, at most 131070 bytes
  uint8_t volume = 64;       // 0..64
  size_t loop_start = 0;     // in bytes, even; loop_length 0 means no loop
  size_t loop_length = 0;
};

struct ModCell {
  uint16_t period = 0;  // 0: no note
  uint8_t sample = 0;   // 1..31, 0: none
  uint8_t effect = 0;   // 0x0..0xF
  uint8_t param = 0;
};

inline constexpr int kModChannels = 4;
inline constexpr int kModRows = 64;
using ModPattern = std::array<std::array<ModCell, kModChannels>, kModRows>;

struct ModSong {
  std::string title;
  std::vector<ModSample> samples;    // up to 31
  std::vector<ModPattern> patterns;  // up to 64
  std::vector<uint8_t> order;        // 1..128 pattern numbers
};

std::vector<uint8_t> WriteMod(const ModSong& song);

// The Amiga period of a note; octave 1..3, semitone 0 (C) .. 11 (B).
uint16_t NotePeriod(int octave, int semitone);

// `cycles` periods of a square wave, each `period` bytes long (even).
std::vector<int8_t> SquareWave(size_t period, size_t cycles, int8_t amplitude);

// A looping square-wave sample and one pattern of notes on all four
// channels, about 7.7 seconds long. Never silent after its first row.
ModSong SquareWaveSong();

// The same instrument in a song of four rows at speed 3: about 0.24 seconds.
ModSong ShortSong();
