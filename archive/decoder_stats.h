// Counters of what the decoder sees, for tests of the compressor and for
// finding where decoding time goes (bench/decoder_counts).
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
  uint64_t match_bytes;       // output of all matches
  // Audio mode.
  uint64_t audio_bytes;       // symbols 0-255
  uint64_t audio_new_tables;  // 256
  uint64_t audio_bytes_by_channels[4];  // index: channel count - 1
  // Bytes of the rounds (audio_steps.cpp), the rest went through single
  // steps; how often rounds started, and their two-code look-ups that found
  // a pair or fell back to one code at a time.
  uint64_t audio_round_bytes;
  uint64_t audio_round_runs;
  uint64_t pair_hits_by_channels[4];    // index: channel count - 1
  uint64_t pair_misses_by_channels[4];
  // Table blocks read, wherever they come from (the start of a file, a
  // symbol 269 or 256, or the look past the end of a file's data).
  uint64_t lz_table_blocks;
  uint64_t audio_table_blocks[4];  // index: channel count - 1
  // Table blocks whose mode (LZ, or multimedia with its channel count)
  // differs from the block before.
  uint64_t mode_switches;
  int32_t last_table_mode = -1;  // 0 LZ, 1-4 channels; -1 none since the reset
  // Derived look-up tables built: LZ entry tables, multimedia pair tables.
  uint64_t lz_entry_builds;
  uint64_t pair_table_builds;
  // Runs of the step functions, and LZ bytes decoded without entry tables.
  uint64_t lz_step_runs;
  uint64_t audio_step_runs;
  uint64_t lz_bytes_without_entries;
};

extern DecoderStats decoder_stats;

// The pair look-ups of every channel count.
inline uint64_t PairHits(const DecoderStats& d) {
  return d.pair_hits_by_channels[0] + d.pair_hits_by_channels[1] + d.pair_hits_by_channels[2] +
         d.pair_hits_by_channels[3];
}
inline uint64_t PairMisses(const DecoderStats& d) {
  return d.pair_misses_by_channels[0] + d.pair_misses_by_channels[1] + d.pair_misses_by_channels[2] +
         d.pair_misses_by_channels[3];
}

void ResetDecoderStats();

#ifdef QUARB_DECODER_STATS
#define QUARB_COUNT(field) (++decoder_stats.field)
#define QUARB_COUNT_ADD(field, n) (decoder_stats.field += (n))
// A table block of `mode` (0 LZ, 1-4 multimedia channels) was read.
#define QUARB_COUNT_TABLE_MODE(mode)                                                   \
  do {                                                                                 \
    const int32_t quarb_mode = static_cast<int32_t>(mode);                             \
    if (decoder_stats.last_table_mode >= 0 && decoder_stats.last_table_mode != quarb_mode) \
      ++decoder_stats.mode_switches;                                                   \
    decoder_stats.last_table_mode = quarb_mode;                                        \
  } while (0)
#else
#define QUARB_COUNT_TABLE_MODE(mode) ((void)0)
#define QUARB_COUNT(field) ((void)0)
#define QUARB_COUNT_ADD(field, n) ((void)0)
#endif
