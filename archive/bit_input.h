// Packed input of the compressed file being decoded, read as a bit stream,
// most significant bit of each byte first.
//
// The bytes pass through one 64 KiB buffer. A continuing refill keeps the last
// 32 bytes (the read position is always inside them by then) and appends the
// next packed bytes after them, so a peek never straddles a refill. Reads are
// not checked against the end of the data: bytes past it are whatever earlier
// refills left there. The decoder's loop asks InputUsedUp() to stop once no
// byte of this file's data is left to decode.
#pragma once

#include <cstdint>
#include <cstring>

// 64 KiB rather than 8: the step loops end and start again at each refill,
// and the multimedia rounds leave the last bytes before it to single steps.
// A build for tests may make it smaller (QUARB_INPUT_BUFFER_SIZE), so that
// small damaged archives still reach the refills.
#ifndef QUARB_INPUT_BUFFER_SIZE
#define QUARB_INPUT_BUFFER_SIZE 65536
#endif
inline constexpr uint32_t kInputBufferSize = QUARB_INPUT_BUFFER_SIZE;
static_assert(kInputBufferSize >= 1024, "the refill thresholds need room below the buffer's end");
inline constexpr uint32_t kInputCarry = 32;  // bytes kept by a continuing refill
// Slack after the buffer so that InputBits may load eight bytes from up to
// eight bytes past any position where a three-byte peek is allowed. Always
// zero; never part of the data.
inline constexpr uint32_t kInputPadding = 16;

struct PackedBitReader {
  uint8_t buffer[kInputBufferSize + kInputPadding];
  uint32_t byte_pos;  // byte holding the next unread bit
  uint32_t bit_pos;   // bits of buffer[byte_pos] already consumed (0-7)
  uint32_t data_end;  // valid bytes as set by the last refill (see RefillInput)
  // Where this file's own bytes end in the buffer, and whether more can come.
  // Unlike data_end, real_end follows the carried bytes through a refill that
  // reads nothing, so it always tells fresh bytes from stale ones.
  int32_t real_end;
  bool source_exhausted;
};

// Reads up to `length` bytes of the current file's packed data from the
// archive (never more than remain). Returns the count read; 0 when nothing
// can be read.
uint32_t ReadPackedData(uint8_t* dest, uint32_t length);

// Fills the engine's input buffer from the current file's packed data.
// `initial`: the first fill of a file (the read position goes to its start).
// Otherwise the last 32 bytes move to the front and byte_pos moves with them;
// call it only with byte_pos >= kInputBufferSize - kInputCarry. data_end
// becomes the bytes read (+32 when continuing), or byte_pos when a
// continuing refill reads nothing.
void RefillInput(bool initial);

// True when the packed data is used up: no refill can bring more and every
// byte of it that reached the buffer lies behind the read position.
inline bool InputUsedUp(const PackedBitReader& r) {
  return r.source_exhausted && static_cast<int32_t>(r.byte_pos) >= r.real_end;
}

// The next 16 bits, not consumed; the first bit of the stream is bit 15.
inline uint32_t PeekBits16(const PackedBitReader& r) {
  const uint8_t* p = r.buffer + r.byte_pos;
  uint32_t three = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  return (three >> (8 - r.bit_pos)) & 0xFFFF;
}

// Consumes n bits, n <= 16.
inline void SkipBits(PackedBitReader& r, uint32_t n) {
  r.bit_pos += n;
  r.byte_pos += r.bit_pos >> 3;
  r.bit_pos &= 7;
}

inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

// The bit reader's input in a register, for loops that read many symbols:
// `bits` holds the next `available` bits of the buffer left-aligned (below
// them the following buffer bits or zeros), `next` is the first byte not yet
// taken into it. A top-up leaves at least 56 bits, so as long as a loop tops
// up before reading at most 40 bits, every peek sees 16 true buffer bits and
// the results are exactly those of PeekBits16 and SkipBits. A top-up loads
// eight bytes from at most eight bytes past the read position; the padding
// after the buffer covers any position up to the last refill threshold.
// The buffer must not change while a BitRegister is in use.
struct BitRegister {
  const uint8_t* base;
  const uint8_t* next;
  uint64_t bits;
  uint32_t available;

  // At the reader's position.
  explicit BitRegister(const PackedBitReader& r)
      : base(r.buffer), next(r.buffer + r.byte_pos + 7),
        bits(LoadBigEndian64(r.buffer + r.byte_pos) << r.bit_pos), available(56 - r.bit_pos) {}

  // Bits of the buffer consumed, counted from its start.
  uint32_t Position() const { return static_cast<uint32_t>(next - base) * 8 - available; }

  // Without a branch: a top-up when enough bits are there already ORs the
  // same bits in again and moves nothing.
  void TopUp() {
    bits |= LoadBigEndian64(next) >> available;
    next += (63 - available) >> 3;
    available |= 56;
  }
  uint32_t Peek16() const { return static_cast<uint32_t>(bits >> 48); }
  void Skip(uint32_t n) {
    bits <<= n;
    available -= n;
  }
  // n = 0 to 16 bits as a number.
  uint32_t Take(uint32_t n) {
    uint32_t value = static_cast<uint32_t>((bits >> 1) >> (63 - n));
    Skip(n);
    return value;
  }
  // Hands the position back to the reader it was made from.
  void Store(PackedBitReader& r) const {
    r.byte_pos = Position() >> 3;
    r.bit_pos = Position() & 7;
  }
};
