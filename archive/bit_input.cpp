#include "archive/bit_input.h"

#include <cstring>

#include "archive/extract.h"

PackedBitReader bit_reader;

void RefillInput(bool initial) {
  PackedBitReader& r = bit_reader;
  if (initial) {
    uint32_t got = ReadPackedData(r.buffer, kInputBufferSize);
    r.byte_pos = 0;
    r.data_end = got;
    r.real_end = static_cast<int32_t>(got);
    r.source_exhausted = got == 0 || extract_state.packed_remaining == 0;
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
  r.source_exhausted = got == 0 || extract_state.packed_remaining == 0;
}
