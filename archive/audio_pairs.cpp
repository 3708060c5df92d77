// The multimedia pair tables (audio_packed.h).
#include <array>
#include <cstdint>

#include "archive/audio_packed.h"
#include "archive/huffman.h"

namespace {

// The second code's part of a pair entry for each symbol: its term shifted
// down and the symbol; the code's length is added to it.
constexpr std::array<uint64_t, 256> MakeSecondParts() {
  std::array<uint64_t, 256> parts{};
  for (uint64_t s = 0; s < 256; ++s) parts[s] = audio_packed_detail::SymbolTerm(s) >> 16 | s << 16;
  return parts;
}
constexpr std::array<uint64_t, 256> kSecondParts = MakeSecondParts();

}  // namespace

void BuildPackedPairs(const HuffmanTable& first, const HuffmanTable& second, uint64_t* pairs) {
  using audio_packed_detail::SymbolTerm;
  // tails[x], for the inputs whose first code leaves `tails_room` bits x:
  // the second code's part where a code of at most that many bits starts
  // there, kPairMissing where none does or where it is symbol 256's.
  uint64_t tails[1u << kAudioFastBits];
  uint32_t tails_room = 0;
  for (uint32_t i = 0; i < (1u << kAudioFastBits);) {
    const uint32_t a = first.fast[i];
    const uint32_t la = a & 15;
    const uint32_t sa = a >> kFastSymbolShift;
    if (a == 0 || sa >= 256) {
      pairs[2 * i] = 0;
      pairs[2 * i + 1] = 0;
      ++i;
      continue;
    }
    const uint32_t room = kPairBits - la;
    if (room != tails_room) {
      // Once for each length of first code: a run of equal entries for
      // each second code that fits.
      FillFastEntries(second, room, tails, kPairMissing, [](uint32_t s, uint32_t length) {
        return s < 256 ? kSecondParts[s] | length : kPairMissing;
      });
      tails_room = room;
    }
    const uint64_t head = SymbolTerm(sa) | uint64_t{sa} << 8 | la;
    uint64_t* out = pairs + 2 * i;
    for (uint32_t x = 0; x < (1u << room); ++x) out[x] = head + tails[x];
    i += 1u << (room - 1);
  }
}
