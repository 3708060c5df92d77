// Extraction of one named file from a RAR 2.0 archive held in memory: the
// engine's interface for the player and the tools (with archive/crc32.h for
// checksums). What lies behind it is in archive/engine_state.h.
//
// The engine is single-instance over file-scope state; it is not re-entrant.
// ExtractFile walks the archive from offset 0, finds the first file block
// whose name matches, decodes (in a solid archive) every file up to it, and
// returns the file in a new buffer after checking its CRC-32 (the buffer
// may hold a few hundred spare bytes after the file: it was the window the
// file was decoded in).
#pragma once

#include <cstdint>

#include "data/memory_archive.h"

// Returns 1 and hands over a malloc'd buffer (free() it) and the file's size, or
// returns 0 with *buffer_out null and *size_out 0. `password` has no use and
// may be null.
int ExtractFile(uint8_t** buffer_out, uint32_t* size_out, const char* name,
                MemoryArchive* archive, const char* password);

// True when the names are equal, ignoring ASCII case and treating '\' and '/'
// alike (both become '_', so "a_b" matches "a/b" too).
bool NamesMatch(const char* a, const char* b);
