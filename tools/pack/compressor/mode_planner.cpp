#include "tools/pack/compressor/mode_planner.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace pack {

namespace {

constexpr int kModes = codes::kMaxChannels + 1;

// Multimedia coding decodes slower than LZ coding (some 10 cycles a byte
// against 6 or fewer): it has to code this much smaller to be chosen, so
// that data neither mode shrinks (compressed or random bytes) stays in LZ
// mode, and it pays a bit for every byte it codes, against the decoding
// prices of LZ's literals and matches (lz_codes.h), so that a chunk goes to
// it only where it saves more than its slower decoding costs. On modules
// from elsewhere, with LZ's decoding prices: half a bit a byte let
// multimedia take chunks that LZ's higher prices gave up (XM 4% slower to
// decode than without those prices, at 2% less size), a bit a byte gave XM
// 7% faster at 0.2% more size, 1.3 bits 10% faster at 2.3% more.
constexpr double kAudioMargin = 1.02;
constexpr double kAudioBitsPerByte = 1.0;

// Rough sizes of a table block, in bits: LZ lengths code to about 80 bytes,
// each multimedia channel's to about 70.
double TableBits(CodingMode mode) { return mode == 0 ? 700.0 : 120.0 + 560.0 * mode; }

// Bits per occurrence of each symbol under the counts `freqs`.
std::vector<double> Information(const std::vector<uint64_t>& freqs) {
  uint64_t total = 0;
  for (uint64_t f : freqs) total += f;
  std::vector<double> bits(freqs.size());
  for (size_t i = 0; i < freqs.size(); ++i) {
    double p = freqs[i] ? static_cast<double>(freqs[i]) / total : 0.5 / (total + 1);
    // A Huffman code spends at least one bit on every symbol.
    bits[i] = std::clamp(-std::log2(p), 1.0, 15.0);
  }
  return bits;
}

double Price(const std::vector<uint64_t>& counts, const std::vector<double>& bits) {
  double sum = 0;
  for (size_t i = 0; i < counts.size(); ++i) sum += counts[i] * bits[i];
  return sum;
}

// Cost of every chunk in every mode, with prices from the chunks assigned to
// each mode (all chunks where none is assigned yet).
std::vector<std::array<double, kModes>> ChunkCosts(const ChunkMeasures& m, const std::vector<CodingMode>& assigned) {
  const size_t chunks = m.lz.size();
  std::vector<std::array<double, kModes>> cost(chunks);
  for (auto& c : cost) c.fill(INFINITY);

  bool assigned_somewhere[kModes] = {};
  for (CodingMode a : assigned) assigned_somewhere[a] = true;
  auto uses = [&](size_t chunk, CodingMode mode) {
    return !assigned_somewhere[mode] || assigned[chunk] == mode;
  };

  LzStats lz_total;
  for (size_t c = 0; c < chunks; ++c) {
    if (uses(c, 0)) lz_total.Add(m.lz[c]);
  }
  std::vector<double> main_bits = Information(lz_total.main);
  std::vector<double> distance_bits = Information(lz_total.distance);
  std::vector<double> repeat_bits = Information(lz_total.repeat);
  for (size_t c = 0; c < chunks; ++c) {
    const LzStats& s = m.lz[c];
    cost[c][0] = Price(s.main, main_bits) + Price(s.distance, distance_bits) + Price(s.repeat, repeat_bits) +
                 static_cast<double>(s.extra_bits);
  }
  // LZ's decoding prices, as the parse priced the tokens.
  const DecodingPrices decoding = DecodingPricesOf(lz_total);
  for (size_t c = 0; c < chunks; ++c) {
    cost[c][0] += decoding.literal * static_cast<double>(m.lz[c].Literals()) +
                  decoding.match * static_cast<double>(m.lz[c].Matches());
  }

  for (int n = 1; n <= static_cast<int>(codes::kMaxChannels); ++n) {
    const auto& audio = m.audio[n];
    if (audio.size() != chunks) continue;
    std::vector<std::vector<double>> bits;
    for (int ch = 0; ch < n; ++ch) {
      std::vector<uint64_t> freqs(256, 0);
      for (size_t c = 0; c < chunks; ++c) {
        if (!uses(c, n)) continue;
        for (int s = 0; s < 256; ++s) freqs[s] += audio[c][ch * 256 + s];
      }
      bits.push_back(Information(freqs));
    }
    for (size_t c = 0; c < chunks; ++c) {
      double sum = 0;
      double bytes = 0;
      for (int ch = 0; ch < n; ++ch) {
        for (int s = 0; s < 256; ++s) {
          sum += audio[c][ch * 256 + s] * bits[ch][s];
          bytes += audio[c][ch * 256 + s];
        }
      }
      cost[c][n] = sum * kAudioMargin + bytes * kAudioBitsPerByte;
    }
  }
  return cost;
}

std::vector<CodingMode> Cheapest(const std::vector<std::array<double, kModes>>& cost, CodingMode current) {
  const size_t chunks = cost.size();
  std::vector<std::array<double, kModes>> best(chunks);
  std::vector<std::array<int8_t, kModes>> from(chunks);
  for (size_t c = 0; c < chunks; ++c) {
    for (int mode = 0; mode < kModes; ++mode) {
      double here = cost[c][mode];
      if (c == 0) {
        best[c][mode] = here + (mode == current ? 0.0 : TableBits(mode));
        from[c][mode] = -1;
        continue;
      }
      best[c][mode] = INFINITY;
      for (int prev = 0; prev < kModes; ++prev) {
        double total = best[c - 1][prev] + here + (prev == mode ? 0.0 : TableBits(mode));
        if (total < best[c][mode]) {
          best[c][mode] = total;
          from[c][mode] = static_cast<int8_t>(prev);
        }
      }
    }
  }
  std::vector<CodingMode> plan(chunks, 0);
  if (chunks == 0) return plan;
  int mode = 0;
  for (int m = 1; m < kModes; ++m) {
    if (best[chunks - 1][m] < best[chunks - 1][mode]) mode = m;
  }
  for (size_t c = chunks; c-- > 0;) {
    plan[c] = mode;
    if (c > 0) mode = from[c][mode];
  }
  return plan;
}

}  // namespace

std::vector<double> BestAudioBits(const ChunkMeasures& measures) {
  std::vector<std::array<double, kModes>> cost = ChunkCosts(measures, {});
  std::vector<double> best(cost.size(), INFINITY);
  for (size_t c = 0; c < cost.size(); ++c) {
    for (int n = 1; n < kModes; ++n) best[c] = std::min(best[c], cost[c][n]);
  }
  return best;
}

std::vector<CodingMode> PlanModes(const ChunkMeasures& measures, CodingMode current) {
  bool any_audio = false;
  for (int n = 1; n <= static_cast<int>(codes::kMaxChannels); ++n) any_audio |= !measures.audio[n].empty();
  if (!any_audio) return std::vector<CodingMode>(measures.lz.size(), 0);
  // Prices depend on which chunks use a mode and the choice on the prices:
  // two rounds settle it well enough.
  std::vector<CodingMode> plan;
  for (int round = 0; round < 2; ++round) plan = Cheapest(ChunkCosts(measures, plan), current);
  return plan;
}

}  // namespace pack
