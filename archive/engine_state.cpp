#include "archive/engine_state.h"

#include <cstring>

EngineState engine;

void ResetStream() {
  EngineState& e = engine;
  e.tables.current_channel = 0;
  std::memset(e.tables.previous_lengths, 0, sizeof e.tables.previous_lengths);
  e.matches = MatchHistory{};
  e.audio = AudioState{};
  e.window.flush_pos = 0;
  e.window.write_pos = 0;
  e.window.unwritten_tail = true;  // the whole window reads as zeros
}
