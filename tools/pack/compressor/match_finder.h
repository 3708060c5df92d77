// Hash-chain match finder over the encoder's history buffer.
//
// Positions are indices into one buffer that holds the data already coded
// (at least the last window's worth) followed by the data being coded. Every
// position is visited once, in order, by Find (which looks for matches and
// then enters the position) or by Skip (which only enters it).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace pack {

// Length of the common prefix of a[...] and b[...], at most `limit`.
inline uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + (__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

struct Match {
  uint32_t length;
  uint32_t distance;
};

class MatchFinder {
 public:
  // `depth`: candidates examined per position; `nice`: a match this long ends
  // the search; `good`: a match this long cuts the rest of the search to a
  // quarter.
  void Configure(int hash_bits, int depth, uint32_t nice, uint32_t good);
  void Reset();

  // Matches at `pos` of at least 3 bytes and at most `max_length`, longest
  // last, each longer than the one before and at the nearest distance for
  // its length. Enters `pos`. Returns the number written to `out` (room for
  // kMaxMatches).
  int Find(const uint8_t* buf, uint32_t pos, uint32_t end, uint32_t max_length, Match* out);
  void Skip(const uint8_t* buf, uint32_t pos, uint32_t end);

  // The nearest earlier position with the same two bytes within 256 bytes,
  // for matches of length 2; 0 when there is none. Call before Find or Skip.
  uint32_t ShortDistance(const uint8_t* buf, uint32_t pos, uint32_t end) const;

  // The buffer dropped its first `shift` bytes (a multiple of the window size).
  void Rebase(uint32_t shift);

  static constexpr int kMaxMatches = 64;

 private:
  void Insert(const uint8_t* buf, uint32_t pos, uint32_t end);
  uint32_t Hash3(const uint8_t* p) const {
    uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    return (v * 2654435761u) >> (32 - hash_bits_);
  }

  int hash_bits_ = 16;
  int depth_ = 16;
  uint32_t nice_ = 128;
  uint32_t good_ = 32;
  std::vector<uint32_t> head_;   // hash -> position + 1 (0: none)
  std::vector<uint32_t> chain_;  // position mod window -> previous position + 1 with that hash
  std::vector<uint32_t> pair_;   // two bytes -> position + 1 of their last occurrence
};

}  // namespace pack
