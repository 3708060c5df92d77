// LZ decoding of RAR 2.0 compressed files (the main symbols and what they
// stand for are in archive_format.h), and the loop that runs a file's whole
// packed data through the decoder. In a solid stream the window, the match
// history, the tables and the audio state carry over from file to file.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"

struct MatchHistory {
  uint32_t recent_distances[rar::kRecentDistances];
  uint32_t recent_next;  // pushes so far; slot (recent_next - 1) & 3 is the newest
  uint32_t prev_length;  // of the last match from 257-268 or 270-297
  uint32_t prev_distance;
};

extern MatchHistory match_history;

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
