#include "archive/bit_input.h"

#include <cstring>

#include "archive/engine_state.h"

uint32_t ReadPackedData(uint8_t* dest, uint32_t length) {
  ExtractState& s = engine::extract;
  if (length == 0 || s.archive->data == nullptr) return 0;
  uint32_t wanted = length < s.packed_remaining ? length : s.packed_remaining;
  uint32_t got = ReadArchiveBytes(s.archive, dest, wanted);
  s.packed_remaining -= got;
  return got;
}

void RefillInput(bool initial) {
  PackedBitReader& r = engine::input;
  if (initial) {
    uint32_t got = ReadPackedData(r.buffer, kInputBufferSize);
    r.byte_pos = 0;
    r.bit_pos = 0;
    r.data_end = got;
    r.real_end = static_cast<int32_t>(got);
    r.source_exhausted = got == 0 || engine::extract.packed_remaining == 0;
    return;
  }
  // The position is in the last 32 bytes, so masking it moves it along with
  // the carried bytes.
  r.byte_pos &= kInputCarry - 1;
  std::memmove(r.buffer, r.buffer + kInputBufferSize - kInputCarry, kInputCarry);
  uint32_t got = ReadPackedData(r.buffer + kInputCarry, kInputBufferSize - kInputCarry);
  if (got > 0) {
    r.data_end = got + kInputCarry;
    r.real_end = static_cast<int32_t>(got + kInputCarry);
  } else {
    r.data_end = r.byte_pos;
    r.real_end -= static_cast<int32_t>(kInputBufferSize - kInputCarry);
    if (r.real_end < 0) r.real_end = 0;
  }
  r.source_exhausted = got == 0 || engine::extract.packed_remaining == 0;
}
