// The decoder's Huffman tables and the table blocks that define them.
//
// A table block starts with the mode (LZ or multimedia audio), whether its
// lengths are differences against the previous block's, the channel count in
// audio mode, and the 19 four-bit lengths of the pre-code; then come the code
// lengths of every alphabet of the mode, coded with the pre-code. LZ mode
// reads 374 lengths (main 298, distance 48, repeat 28); audio mode 257 per
// channel. The tables survive from file to file and from call to call.
#pragma once

#include <cstdint>

#include "archive/huffman.h"

inline constexpr uint32_t kMainSymbols = 298;
inline constexpr uint32_t kDistanceSymbols = 48;
inline constexpr uint32_t kRepeatSymbols = 28;
inline constexpr uint32_t kAudioSymbols = 257;
inline constexpr uint32_t kPrecodeSymbols = 19;
inline constexpr uint32_t kLzLengths = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
inline constexpr uint32_t kMaxChannels = 4;
inline constexpr uint32_t kMaxLengths = kAudioSymbols * kMaxChannels;  // 1028

struct DecoderTables {
  HuffmanTable precode_table;
  HuffmanTable main_table;
  HuffmanTable distance_table;
  HuffmanTable repeat_table;
  HuffmanTable audio_tables[kMaxChannels];
  uint8_t previous_lengths[kMaxLengths];
  bool audio_mode;
  uint32_t channel_count;    // 1-4, meaningful in audio mode
  uint32_t current_channel;  // channel of the next audio byte
  // Count the table blocks read of each mode, so that tables derived from
  // the Huffman tables know when they are out of date.
  uint32_t audio_generation;
  uint32_t lz_generation;
};

extern DecoderTables decoder_tables;

// Reads one table block at the bit reader's position and rebuilds the tables
// of its mode; the other mode's tables stay as they are. Lengths past those
// the block reads keep their previous values, and a repeat of the previous
// length at the very first position repeats 0.
void ReadCodeTables();

// Run after a file's last byte is decoded: if at least five bytes of the last
// refill are left, decodes one more symbol and reads the table block it may
// announce (269 in LZ mode, 256 in audio mode). The next file of a solid
// stream decodes with the tables read here.
void CheckEndOfData();
