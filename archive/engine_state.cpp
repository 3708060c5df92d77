#include "archive/engine_state.h"

#include <cstring>

namespace engine {

ExtractState extract;
PackedBitReader input;
SlidingWindow window;
DecoderTables tables;
MatchHistory matches;
AudioState audio;
int32_t bytes_left;
LzEntryTables lz_entries;
AudioPairTables audio_pairs;

void ResetStream() {
  tables.current_channel = 0;
  std::memset(tables.previous_lengths, 0, sizeof tables.previous_lengths);
  matches = MatchHistory{};
  audio = AudioState{};
  window.flush_pos = 0;
  window.write_pos = 0;
  window.unwritten_tail = true;  // the whole window reads as zeros
}

}  // namespace engine
