// The window that the decoder writes into, and its delivery into the wanted
// file's output buffer.
//
// Mostly the window is the call's circular one of rar::kWindowSize bytes,
// every index taken modulo its size, whose bytes are copied into the output.
// A wanted file that starts a fresh stream is decoded straight into its
// output instead (`is_output`): a buffer of its size and a little room,
// indexed as it is (`mask` all ones), where delivering bytes is only taking
// their checksum. As a match reaches back at most rar::kWindowSize bytes,
// the bytes are the same; what a match reaches before the start of the
// file reads as zeros, as in a fresh circular window.
//
// Bytes between flush_pos and write_pos are produced but not yet delivered;
// the decoder flushes before any step that starts with less than kFlushRoom
// bytes of free room (decoder_steps.h), so a step (at most
// rar::kMaxMatchLength bytes) never overwrites them.
//
// A fresh stream's window reads as zeros. Clearing the whole megabyte for
// every file would cost more than decoding a small one, so the clearing is
// deferred: while `unwritten_tail` is set, the bytes from write_pos to the end
// of the window have not been written since the reset and stand for zeros;
// they are cleared the first time a match reaches into them, or when
// write_pos comes near the end of the window. (The output's own window
// never clears them: a match that reaches before the file's start reads
// its zeros without them, see CopyMatchAt.)
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/archive_format.h"

struct SlidingWindow {
  uint8_t* data;        // provided by the extraction driver
  uint32_t size;        // bytes at data: rar::kWindowSize, or the output's
  uint32_t mask;        // size - 1 for the circular window, all ones for the output
  uint32_t write_pos;   // next byte to produce
  uint32_t flush_pos;   // first produced byte not yet delivered
  bool unwritten_tail;  // see above
  bool is_output;       // data is the wanted file's output buffer
};

// Gives the deferred zeros of the engine's window from write_pos to its end.
void ClearUnwrittenTail();

// Delivers the engine's pending bytes into the output of the wanted file (one
// or two copies). A flush that would take `written` past the file's size is
// refused whole and ends the file's decoding (bytes_left = -1). Pending bytes
// of any other file are dropped.
void FlushWindow();

namespace window_detail {

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// The copy of CopyMatchAt, for a window without unwritten tail in the way.
// Block copies are used only where they give the byte-by-byte result: both
// ranges clear of the window's end, and source and destination at least
// eight bytes apart in either direction.
inline uint32_t CopyInWindow(uint8_t* data, uint32_t size, uint32_t mask, uint32_t write_pos,
                             uint32_t distance, uint32_t length) {
  uint32_t src = (write_pos - distance) & mask;
  if (src == write_pos) return (write_pos + length) & mask;
  if (write_pos + length <= size && src + length <= size && distance >= 8 && distance <= size - 8) {
    uint8_t* out = data + write_pos;
    const uint8_t* in = data + src;
    if (length >= 8) {
      // Whole blocks, then one last block ending exactly at the match's end;
      // everything it reads is final by then.
      uint32_t done = 0;
      for (; done + 8 <= length; done += 8) Store64(out + done, Load64(in + done));
      if (done < length) Store64(out + length - 8, Load64(in + length - 8));
    } else if (length >= 4) {
      // The ranges are disjoint here (distance >= 8 > length).
      uint32_t head = Load32(in);
      uint32_t tail = Load32(in + length - 4);
      Store32(out, head);
      Store32(out + length - 4, tail);
    } else {
      for (uint32_t i = 0; i < length; ++i) out[i] = in[i];
    }
    return write_pos + length;
  }
  if (distance == 1 && write_pos + length <= size) {
    std::memset(data + write_pos, data[src], length);
    return write_pos + length;
  }
  for (uint32_t i = 0; i < length; ++i) {
    data[write_pos] = data[src];
    write_pos = (write_pos + 1) & mask;
    src = (src + 1) & mask;
  }
  return write_pos;
}

// A match in the output's own window that reaches before the start of the
// file, or of distance 0 (which in the circular window leaves in place the
// bytes written rar::kWindowSize earlier, or its zeros).
inline uint32_t CopyFromBeforeStart(uint8_t* data, uint32_t write_pos, uint32_t distance, uint32_t length) {
  const uint32_t reach = distance == 0 ? rar::kWindowSize : distance;
  for (uint32_t i = 0; i < length; ++i, ++write_pos) {
    data[write_pos] = write_pos >= reach ? data[write_pos - reach] : 0;
  }
  return write_pos;
}

}  // namespace window_detail

// A match: copies `length` bytes from `distance` back to `write_pos`, one
// byte at a time in effect (a distance shorter than the length repeats the
// bytes the copy itself has just written; a distance of 0 or 2^20 leaves the
// bytes in place), and returns the new position. The decoder's loops keep
// the write position in a register and pass it in.
inline uint32_t CopyMatchAt(SlidingWindow& w, uint32_t write_pos, uint32_t distance,
                            uint32_t length) {
  // Most matches are short, with a source that ends before the destination
  // starts, and lie clear of the window's end: 32 bytes are copied whatever
  // the length, without a branch on it. The bytes past the match that this
  // overwrites are the window's deferred zeros while the tail is unwritten
  // (a match that reaches them clears the tail first); otherwise they are
  // put back, as a match reaching back 2^20 bytes may still read them.
  if (length <= 32 && distance >= length && distance <= write_pos &&
      write_pos + length + 32 <= w.size) {
    uint8_t* out = w.data + write_pos;
    uint8_t copy[32], keep[32];
    std::memcpy(copy, out - distance, 32);
    if (w.unwritten_tail) {
      std::memcpy(out, copy, 32);
    } else {
      std::memcpy(keep, out + length, 32);
      std::memcpy(out, copy, 32);
      std::memcpy(out + length, keep, 32);
    }
    return write_pos + length;
  }
  if (distance == 0 || distance > write_pos) {
    if (w.is_output) return window_detail::CopyFromBeforeStart(w.data, write_pos, distance, length);
    if (w.unwritten_tail) {
      w.write_pos = write_pos;
      ClearUnwrittenTail();
    }
  }
  return window_detail::CopyInWindow(w.data, w.size, w.mask, write_pos, distance, length) & w.mask;
}
