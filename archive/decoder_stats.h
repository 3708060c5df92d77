// Counters of what the decoder sees, for tests of the compressor.
//
// Only the library built with QUARB_DECODER_STATS defined (quarb_engine_stats)
// counts; in the player's engine every QUARB_COUNT compiles to nothing. The
// counters accumulate over every file decoded until ResetDecoderStats.
#pragma once

#include <cstdint>

struct DecoderStats {
  // LZ mode, by main symbol.
  uint64_t literals;          // 0-255
  uint64_t repeat_last;       // 256: the previous match again
  uint64_t recent_distance;   // 257-260: one of the four recent distances
  uint64_t short_match;       // 261-268: length 2 at a short distance
  uint64_t lz_new_tables;     // 269
  uint64_t long_match;        // 270-297: coded length and distance
  // Audio mode.
  uint64_t audio_bytes;       // symbols 0-255
  uint64_t audio_new_tables;  // 256
  // Table blocks read, wherever they come from (the start of a file, a
  // symbol 269 or 256, or the look past the end of a file's data).
  uint64_t lz_table_blocks;
  uint64_t audio_table_blocks[4];  // index: channel count - 1
};

extern DecoderStats decoder_stats;

void ResetDecoderStats();

#ifdef QUARB_DECODER_STATS
#define QUARB_COUNT(field) (++decoder_stats.field)
#else
#define QUARB_COUNT(field) ((void)0)
#endif
