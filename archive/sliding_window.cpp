#include "archive/sliding_window.h"

#include <cstring>

#include "archive/engine_state.h"

void ClearUnwrittenTail() {
  SlidingWindow& w = engine::window;
  if (!w.unwritten_tail) return;
  std::memset(w.data + w.write_pos, 0, rar::kWindowSize - w.write_pos);
  w.unwritten_tail = false;
}

void FlushWindow() {
  SlidingWindow& w = engine::window;
  ExtractState& s = engine::extract;
  const uint32_t size = s.file_header.unpacked_size;
  uint32_t write_pos = w.write_pos;
  uint32_t flush_pos = w.flush_pos;
  w.flush_pos = write_pos;
  if (!s.is_target) return;
  // 64-bit sums: a refusal must never be turned into an overrun by wrapping.
  if (write_pos >= flush_pos) {
    uint32_t n = write_pos - flush_pos;
    if (uint64_t{s.written} + n > size) {
      engine::bytes_left = -1;
      return;
    }
    std::memcpy(s.output + s.written, w.data + flush_pos, n);
    s.written += n;
    return;
  }
  uint32_t tail = rar::kWindowSize - flush_pos;
  uint32_t head = write_pos;
  if (uint64_t{s.written} + tail + head > size) {
    engine::bytes_left = -1;
    return;
  }
  std::memcpy(s.output + s.written, w.data + flush_pos, tail);
  s.written += tail;
  std::memcpy(s.output + s.written, w.data, head);
  s.written += head;
}
