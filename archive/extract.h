// Extraction of one named file from a RAR 2.0 archive held in memory.
//
// The reader and the decompressor form one single-instance engine over
// file-scope state; it is not re-entrant. ExtractFile walks the archive from
// offset 0, finds the first file block whose name matches, decodes (in a solid
// archive) every file up to it, and returns the file in a new buffer of exactly
// its unpacked size after checking its CRC-32.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"
#include "data/memory_archive.h"

// Bookkeeping of the call in progress. The decompressor writes through it.
struct ExtractState {
  MemoryArchive* archive;
  char target_name[260];
  char entry_name[260];
  rar::MainHeader main_header;
  rar::FileHeader file_header;
  int32_t block_start;
  int32_t next_block_pos;
  uint8_t last_block_type;
  uint8_t* window;          // the 1 MiB sliding window of this call
  uint8_t* output;          // the wanted file's buffer, null until found
  uint32_t unpacked_size;   // of the file being processed
  uint32_t written;         // bytes delivered into output
  bool is_target;           // the file being processed is the wanted one
  uint32_t packed_remaining;
  bool stream_started;      // a compressed file has been decoded in this call
};

extern ExtractState extract_state;

// Returns 1 and hands over a malloc'd buffer (free() it) and its size, or
// returns 0 with *buffer_out null and *size_out 0. `password` has no use and
// may be null.
int ExtractFile(uint8_t** buffer_out, uint32_t* size_out, const char* name,
                MemoryArchive* archive, const char* password);

// Reads up to `length` bytes of the current file's packed data (never more
// than remain). Returns the count read; 0 when nothing can be read.
uint32_t ReadPackedData(uint8_t* dest, uint32_t length);

// True when the names are equal, ignoring ASCII case and treating '\' and '/'
// alike (both become '_', so "a_b" matches "a/b" too).
bool NamesMatch(const char* a, const char* b);

// Decompresses the current file's packed data through `window` (defined by the
// decompressor).
void UnpackFile(uint8_t* window);

// Output bytes still to produce for the file being decompressed; the driver sets
// it to the unpacked size before each file.
extern int32_t bytes_left;
