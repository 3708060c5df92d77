// Everything the engine keeps, declared in one place (internal to the
// engine; the player and the tools see archive/extract.h) and defined in
// engine_state.cpp.
//
// The engine is a single instance over this state and is not re-entrant. A
// call of ExtractFile starts its bookkeeping afresh (`extract`); the
// decoder's state runs on from file to file of a solid stream and is reset by
// ResetStream when a file starts a fresh one. The Huffman tables, and the
// look-up tables derived from them, stay from call to call: a fresh stream
// reads a table block before it decodes anything, and the derived tables
// know from the tables' generation counts when they are out of date.
//
// The parts are separate objects, not the members of one: the decoder's
// loops store into some while they read others, and the compiler keeps a
// load apart from a store for certain only when they are different objects
// (as members of one struct, multimedia decoding ran some 4% slower).
//
// Outside this state: the CRC tables (archive/crc32.cpp, built once), the
// choice of error-sum path (archive/audio_error_sums.cpp, made once) and the
// test counters of the counting engine (archive/decoder_stats.h).
#pragma once

#include <cstdint>

#include "archive/archive_format.h"
#include "archive/audio_packed.h"
#include "archive/audio_predictor.h"
#include "archive/bit_input.h"
#include "archive/code_tables.h"
#include "archive/lz_decoder.h"
#include "archive/lz_entries.h"
#include "archive/sliding_window.h"
#include "data/memory_archive.h"

// The ExtractFile call in progress.
struct ExtractState {
  MemoryArchive* archive;
  char target_name[rar::kMaxNameLength + 1];
  char entry_name[rar::kMaxNameLength + 1];
  rar::MainHeader main_header;
  rar::FileHeader file_header;  // of the block being walked or processed
  int32_t block_start;
  int32_t next_block_pos;
  uint8_t* output;            // the wanted file's buffer, null until found
  uint32_t written;           // bytes delivered into output
  uint32_t output_crc;        // CRC-32 register over them (compressed files)
  bool is_target;             // the file being processed is the wanted one
  uint32_t packed_remaining;  // of the file being processed
  bool stream_started;        // a compressed file has been decoded in this call
};

namespace engine {

extern ExtractState extract;
extern PackedBitReader input;  // the packed data of the file being decoded
extern SlidingWindow window;   // its memory is the call's (extract.cpp)
extern DecoderTables tables;
extern MatchHistory matches;
extern AudioState audio;
// Output bytes still to produce for the file being decoded; set to its
// unpacked size before each file.
extern int32_t bytes_left;
// Derived from `tables` when first needed after a table block.
extern LzEntryTables lz_entries;
extern AudioPairTables audio_pairs;

// Whether the file being processed carries on the stream of the files
// before it. A continuation is honoured only after a file of this call
// started the stream: the window is new for every call, and the positions
// and history left by an earlier call describe a window that no longer
// exists.
inline bool ContinuesStream() {
  return (extract.file_header.flags & rar::kFileSolidContinuation) != 0 && extract.stream_started;
}

// Makes the decoder's state that of a fresh stream: the window (its zeros
// deferred, see sliding_window.h), the match history, the predictors, the
// previous code lengths and the audio channel.
void ResetStream();

}  // namespace engine
