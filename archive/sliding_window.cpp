#include "archive/sliding_window.h"

#include <cstring>

#include "archive/crc32.h"
#include "archive/engine_state.h"

void ClearUnwrittenTail() {
  SlidingWindow& w = engine::window;
  if (!w.unwritten_tail) return;
  std::memset(w.data + w.write_pos, 0, w.size - w.write_pos);
  w.unwritten_tail = false;
}

namespace {

// Into the output, with the checksum taken on the way while the bytes are
// still in the cache: the output is not read again.
void Deliver(const uint8_t* bytes, uint32_t n) {
  ExtractState& s = engine::extract;
  s.output_crc = Crc32(s.output_crc, bytes, n);
  std::memcpy(s.output + s.written, bytes, n);
  s.written += n;
}

}  // namespace

void FlushWindow() {
  SlidingWindow& w = engine::window;
  ExtractState& s = engine::extract;
  const uint32_t size = s.file_header.unpacked_size;
  uint32_t write_pos = w.write_pos;
  uint32_t flush_pos = w.flush_pos;
  w.flush_pos = write_pos;
  if (!s.is_target) return;
  if (w.is_output) {
    // The bytes are in place: the window holds the whole file from its
    // start (decoding stops a step after the file's size, inside the room).
    uint32_t n = write_pos - flush_pos;
    if (write_pos < flush_pos || uint64_t{s.written} + n > size) {
      engine::bytes_left = -1;
      return;
    }
    s.output_crc = Crc32(s.output_crc, w.data + flush_pos, n);
    s.written += n;
    return;
  }
  // 64-bit sums: a refusal must never be turned into an overrun by wrapping.
  if (write_pos >= flush_pos) {
    uint32_t n = write_pos - flush_pos;
    if (uint64_t{s.written} + n > size) {
      engine::bytes_left = -1;
      return;
    }
    Deliver(w.data + flush_pos, n);
    return;
  }
  uint32_t tail = rar::kWindowSize - flush_pos;
  uint32_t head = write_pos;
  if (uint64_t{s.written} + tail + head > size) {
    engine::bytes_left = -1;
    return;
  }
  Deliver(w.data + flush_pos, tail);
  Deliver(w.data, head);
}
