#include "tools/pack/compressor/lz_probe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/pack/compressor/code_slots.h"

namespace pack {

namespace {

constexpr int kHashBits = 16;
constexpr uint32_t kLookBack = 64 * 1024;
// Rough cost of a match: length slot and distance slot symbols with their
// extra bits, averaged over typical distances.
constexpr double kMatchBits = 24.0;

uint32_t Hash4(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

std::vector<double> ProbeLzBits(const uint8_t* buf, uint32_t begin, uint32_t end, uint32_t chunk) {
  const uint32_t chunks = (end - begin + chunk - 1) / chunk;
  std::vector<double> bits(chunks, 0.0);
  // Literals are priced by the byte frequencies of the whole range.
  uint64_t freq[256] = {};
  for (uint32_t p = begin; p < end; ++p) ++freq[buf[p]];
  double literal[256];
  for (int b = 0; b < 256; ++b) {
    literal[b] = freq[b] ? std::max(1.0, -std::log2(static_cast<double>(freq[b]) / (end - begin))) : 15.0;
  }
  std::vector<uint32_t> head(size_t{1} << kHashBits, 0);
  // Recent history is enough for an estimate.
  const uint32_t from = begin > kLookBack ? begin - kLookBack : 0;
  for (uint32_t p = from; p + 4 <= begin; ++p) head[Hash4(buf + p)] = p + 1;
  for (uint32_t p = begin; p < end;) {
    uint32_t length = 0;
    if (p + 4 <= end) {
      uint32_t& slot = head[Hash4(buf + p)];
      if (slot != 0 && p - (slot - 1) <= codes::kMaxDistance) {
        const uint8_t* a = buf + p;
        const uint8_t* b = buf + slot - 1;
        uint32_t limit = std::min<uint32_t>(end - p, rar::kMaxMatchLength);
        while (length < limit && a[length] == b[length]) ++length;
      }
      slot = p + 1;
    }
    if (length >= 4) {
      bits[(p - begin) / chunk] += kMatchBits;
      for (uint32_t q = p + 1; q < p + length && q + 4 <= end; ++q) head[Hash4(buf + q)] = q + 1;
      p += length;
    } else {
      bits[(p - begin) / chunk] += literal[buf[p]];
      ++p;
    }
  }
  return bits;
}

}  // namespace pack
