// Helpers for tests that drive the decoder's layers directly.
#pragma once

#include <cstring>
#include <vector>

#include "archive/engine_state.h"

namespace testing_helpers {

// Puts `bytes` at the start of the input buffer as the whole of a file's
// packed data (nothing more can be read) and the read position at its start.
inline void LoadBits(const std::vector<uint8_t>& bytes) {
  static MemoryArchive no_data{};
  engine::extract.archive = &no_data;
  engine::extract.packed_remaining = 0;
  PackedBitReader& r = engine::input;
  std::memset(r.buffer, 0, sizeof r.buffer);
  std::memcpy(r.buffer, bytes.data(), std::min(bytes.size(), size_t{kInputBufferSize}));
  r.byte_pos = 0;
  r.bit_pos = 0;
  r.data_end = static_cast<uint32_t>(bytes.size());
  r.real_end = static_cast<int32_t>(bytes.size());
  r.source_exhausted = true;
}

// Bits consumed since LoadBits.
inline uint32_t BitsConsumed() { return engine::input.byte_pos * 8 + engine::input.bit_pos; }

}  // namespace testing_helpers
