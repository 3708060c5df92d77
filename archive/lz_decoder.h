// LZ decoding of RAR 2.0 compressed files (the main symbols and what they
// stand for are in archive_format.h), and the loop that runs a file's whole
// packed data through the decoder. In a solid stream the window, the match
// history, the tables and the audio state carry over from file to file.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"

// The match history: the ring of the last four distances, and the previous
// match (what symbol 256 repeats).
struct MatchHistory {
  uint32_t recent_distances[rar::kRecentDistances];
  uint32_t recent_next;  // pushes so far; slot (recent_next - 1) & 3 is the newest
  uint32_t prev_length;  // of the last match from 257-268 or 270-297
  uint32_t prev_distance;

  // The distance pushed `back` pushes ago: 1 (symbol 257) to 4 (260).
  uint32_t Recent(uint32_t back) const { return recent_distances[(recent_next - back) & 3]; }
  // Every match pushes its distance, whatever symbol carried it.
  void Push(uint32_t distance) {
    recent_distances[recent_next & 3] = distance;
    ++recent_next;
  }
};

// Decodes the packed data of the file in engine::extract.file_header into the
// window, delivering the wanted file's bytes (sliding_window.h). A file that
// continues the solid stream decoded so far in this call goes on from where
// the last one ended; otherwise the stream starts afresh (engine::ResetStream) with a
// table block.
void UnpackFile();
