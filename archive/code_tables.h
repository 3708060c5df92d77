// The decoder's Huffman tables and the table blocks that define them (the
// block's layout is in archive_format.h). A block rebuilds the tables of its
// mode; the tables survive from file to file and from call to call.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"
#include "archive/huffman.h"

struct DecoderTables {
  HuffmanTable precode_table;
  HuffmanTable main_table;
  HuffmanTable distance_table;
  HuffmanTable repeat_table;
  HuffmanTable audio_tables[rar::kMaxChannels];
  uint8_t previous_lengths[rar::kMaxTableLengths];
  bool audio_mode;
  uint32_t channel_count;    // 1-4, meaningful in audio mode
  uint32_t current_channel;  // channel of the next audio byte
  // Count the table blocks read of each mode, so that tables derived from
  // the Huffman tables know when they are out of date.
  uint32_t audio_generation;
  uint32_t lz_generation;
};

// Reads one table block at the engine's input position and rebuilds the tables
// of its mode; the other mode's tables stay as they are. Lengths past those
// the block reads keep their previous values, and a repeat of the previous
// length at the very first position repeats 0.
void ReadCodeTables();

// Run after a file's last byte is decoded: if at least five bytes of the last
// refill are left, decodes one more symbol and reads the table block it may
// announce (269 in LZ mode, 256 in audio mode). The next file of a solid
// stream decodes with the tables read here.
void CheckEndOfData();
