// The multimedia predictor as the rounds of the audio steps run it. It gives
// exactly the bytes and, stored back, exactly the predictor records of
// DecodeAudioByte (audio_predictor.h); it only computes in another order.
//
// - A prediction matters only modulo 256 and only relative to the channel's
//   last byte, so the new delta is floor(S / 8) - symbol modulo 256, where S
//   is a weighted sum of the channel's last four deltas and the stream's last
//   delta: the weights become coefficients on the last four deltas
//   (w0 + w1, w2 - w1, w3 - w2, -w3) and w4 on the stream's delta.
// - Only S modulo 2^11 counts, so the four own terms are one 64-bit multiply:
//   the deltas sit in 16-bit slots of one integer (newest lowest), the
//   coefficients x 32 in the opposite order, and the slot at bit 48 of the
//   product holds S x 32, floor(S / 8) landing in the top byte. The slots
//   below it add at most 2^51 in magnitude, which a bias of 2^52 turns into
//   a carry that never reaches bit 53. The symbol is taken off the top byte
//   and, with several channels, the stream's delta, the one term on the path
//   from byte to byte, is added last with a multiply of its own; with a
//   single channel it is the channel's newest delta, and its weight joins
//   that delta's coefficient. An arithmetic shift by 56 gives the delta.
// - The eleven error sums are not kept byte by byte. Each channel logs its
//   bytes' symbols and deltas (the stream's delta before a byte is the
//   neighbouring channel's, in its log), and the sums of a stretch of up
//   to 32 bytes are taken with vector instructions when the stretch ends
//   (audio_error_sums.h): at the end of a 32-byte period, before the weights
//   move, or when the rounds stop.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/audio_error_sums.h"
#include "archive/audio_predictor.h"
#include "archive/huffman.h"

struct PackedChannel {
  // The channel's last four deltas, newest in bits 0-15, as one integer
  // (each delta added in at its slot with its sign).
  uint64_t deltas;
  uint64_t coefficients;
  // The stream delta's weight, at bit 53; 0 with a single channel, whose
  // newest delta is the stream's and whose coefficients weigh it.
  uint64_t cross_weight;
  uint32_t prev;          // last byte; only its low eight bits count
};

namespace audio_packed_detail {

// The carry the slots below the sum may add lies within +-2^51 (and a pair
// term's low bits take off less than 2^48 more): a bias of 2^52 keeps the
// whole of it within [0, 2^53), below the sum's lowest bit.
inline constexpr uint64_t kBias = uint64_t{1} << 52;

// What a byte's sum takes off for its symbol: the symbol in the top byte,
// less the bias. Only bits 52 to 63 are set.
constexpr uint64_t SymbolTerm(uint64_t symbol) { return (symbol << 56) - kBias; }

constexpr std::array<uint64_t, 256> MakeSymbolTerms() {
  std::array<uint64_t, 256> terms{};
  for (uint64_t s = 0; s < 256; ++s) terms[s] = SymbolTerm(s);
  return terms;
}
inline constexpr std::array<uint64_t, 256> kSymbolTerms = MakeSymbolTerms();

constexpr uint64_t Slot(int64_t v, uint32_t bit) { return static_cast<uint64_t>(v) << bit; }

// Keeps the compiler from folding `v` into the sum that follows: the stream
// delta's term must be the last addition, where it waits for nothing else.
inline void KeepApart(uint64_t& v) {
#if defined(__GNUC__)
  asm("" : "+r"(v));
#else
  (void)v;
#endif
}

}  // namespace audio_packed_detail

// The coefficients from the weights. `fused`: a single channel, whose last
// delta is the stream's. They are linear in the weights (modulo 2^64).
constexpr void SetPackedWeights(PackedChannel& ch, const int32_t* w, bool fused) {
  using audio_packed_detail::Slot;
  const int64_t c1 = 32 * int64_t{w[0] + w[1]};
  const int64_t c2 = 32 * int64_t{w[2] - w[1]};
  const int64_t c3 = 32 * int64_t{w[3] - w[2]};
  const int64_t c4 = -32 * int64_t{w[3]};
  if (fused) {
    // The newest delta is the stream's too: its weight takes w4 as well,
    // and nothing is left for a term of its own.
    ch.coefficients = Slot(c4, 0) + Slot(c3, 16) + Slot(c2, 32) + Slot(c1 + 32 * int64_t{w[4]}, 48);
    ch.cross_weight = 0;
  } else {
    ch.coefficients = Slot(c4, 0) + Slot(c3, 16) + Slot(c2, 32) + Slot(c1, 48);
    ch.cross_weight = Slot(w[4], 53);
  }
}

// Takes the predictor into `ch`, the deltas before the stretch into `log`
// and the sums into `sums`. False, and nothing taken, for a record that
// decoding never reaches (a weight or delta out of its range, a sum that
// could outgrow its lane), on which the bounds that the multiply and the
// lanes rely on would not hold.
inline bool LoadPacked(PackedChannel& ch, AudioChannelLog& log, PeriodSums& sums,
                       const AudioPredictor& p, bool fused) {
  using audio_packed_detail::Slot;
  for (int32_t w : p.weights) {
    if (w < -17 || w > 16) return false;
  }
  // The sums grow by at most 1279 a byte until the period ends.
  const uint32_t room = (32 - p.sample_count % 32) * 1279;
  for (uint32_t sum : p.error_sums) {
    if (sum > kPeriodSumsLimit - room) return false;
  }
  // Newest first: the last delta, then h0, and each older one the newer
  // less the next history term.
  int32_t d[5];
  d[0] = p.prev_delta;
  d[1] = p.history[0];
  d[2] = d[1] - p.history[1];
  d[3] = d[2] - p.history[2];
  d[4] = d[3] - p.history[3];
  for (int32_t v : d) {
    if (v < -128 || v > 127) return false;
  }
  for (uint32_t i = 0; i < kLogLead; ++i) log.deltas[kLogLead - 1 - i] = static_cast<int16_t>(d[i]);
  ClearPeriodSums(sums);
  for (uint32_t k = 0; k < 11; ++k) sums.lanes[k] = static_cast<uint16_t>(p.error_sums[k]);
  ch.deltas = Slot(d[0], 0) + Slot(d[1], 16) + Slot(d[2], 32) + Slot(d[3], 48);
  SetPackedWeights(ch, p.weights, fused);
  ch.prev = static_cast<uint32_t>(p.prev_byte);
  return true;
}

// A pair table's entry for symbols s0 then s1 whose codes take `length`
// bits together: the length in bits 0-5 (so that the entry serves as a
// shift count as it is), s0 and s1 in bits 8-15 and 16-23, and the two
// symbol terms: s0's as it is, in bits 52-63, and s1's shifted down by 16,
// in bits 36-47. The entry is s0's term, with low bits that the bias
// covers; rotated left by 16 it is s1's, in the same way (PairSecondTerm).
inline uint64_t PackedPairEntry(uint32_t s0, uint32_t s1, uint32_t length) {
  using audio_packed_detail::SymbolTerm;
  return SymbolTerm(s0) | SymbolTerm(s1) >> 16 | uint64_t{s1} << 16 | uint64_t{s0} << 8 | length;
}
inline uint64_t PairSecondTerm(uint64_t entry) { return entry << 16 | entry >> 48; }

// Where the two codes do not both fit but the first does: the first symbol
// alone, laid out as in a pair entry, with kPairMissing set (bit 6, above
// the length). Entries of 0 (not even the first code fits) and these are
// told from pairs with one test (PairFound).
inline constexpr uint64_t kPairMissing = 64;
inline uint64_t PackedSingleEntry(uint32_t s0, uint32_t length) {
  return audio_packed_detail::SymbolTerm(s0) | uint64_t{s0} << 8 | kPairMissing | length;
}
// True for a pair: a pair's length is at least 2 and its bit 6 clear; taking
// 1 off 0 or off a single entry (length at least 1) leaves bit 6 set.
inline bool PairFound(uint64_t entry) { return ((entry - 1) & kPairMissing) == 0; }

// BuildPairEntries(first, second, 256, pairs, PackedPairEntry,
// PackedSingleEntry), several times faster. A pair entry's fields do not
// overlap, so it is the first code's part (its symbol's term, the symbol,
// its length) plus the second code's (the term shifted down, the symbol,
// its length); and a single entry is the first code's part plus
// kPairMissing. The second part depends only on the bits that the first
// code leaves (its `room`), so it is made once for each room rather than
// once for each pair, and each first code's entries are one addition each.
// Both tables are built with kAudioFastBits.
void BuildPackedPairs(const HuffmanTable& first, const HuffmanTable& second, uint64_t* pairs);
inline uint32_t PairFirstSymbol(uint64_t entry) { return static_cast<uint32_t>(entry >> 8) & 0xFF; }
inline uint32_t PairSecondSymbol(uint64_t entry) { return static_cast<uint32_t>(entry >> 16) & 0xFF; }

// The pair tables of the channels that rounds take two at a time: channels
// 0 and 1 (0 and 0 with a single channel), and 2 and 3; PackedPairEntry's
// entries. Built for the audio tables of `generation` and `channels`
// (DecoderTables::audio_generation, channel_count) when rounds first need
// them after a table block.
struct AudioPairTables {
  uint64_t table[2][1u << kPairBits];
  uint32_t generation;
  uint32_t channels;
  bool built;
};

// The delta for the symbol whose term is `term` (kSymbolTerms, or one of a
// pair entry's) on this channel, logged as byte `j` of the stretch; `cross`
// is the stream's last delta and becomes this byte's. The channel's last
// byte is left as it was: the caller that keeps it adds the delta
// (PredictPacked) or takes the bytes from the log (audio_stretch_bytes.h).
// The caller logs the symbol.
template <bool kFused>
inline void PredictPackedDelta(PackedChannel& ch, AudioChannelLog& log, size_t j, uint64_t term,
                               int64_t& cross) {
  int64_t delta;
  if constexpr (kFused) {
    // The stream's delta is the channel's newest: one multiply. The path
    // from byte to byte is then the multiply and the adds around it, one
    // cycle longer than the separate term's; that costs less than the
    // multiply and the moves that the term takes.
    delta = static_cast<int64_t>(ch.deltas * ch.coefficients - term) >> 56;
  } else {
    uint64_t own = ch.deltas * ch.coefficients - term;
    audio_packed_detail::KeepApart(own);
    delta = static_cast<int64_t>(own + static_cast<uint64_t>(cross) * ch.cross_weight) >> 56;
  }
  log.deltas[kLogLead + j] = static_cast<int16_t>(delta);
  ch.deltas = (ch.deltas << 16) + static_cast<uint64_t>(delta);
  cross = delta;
}

// The same, and the byte, kept as the channel's last.
template <bool kFused>
inline uint8_t PredictPacked(PackedChannel& ch, AudioChannelLog& log, size_t j, uint64_t term,
                             int64_t& cross) {
  PredictPackedDelta<kFused>(ch, log, j, term, cross);
  ch.prev += static_cast<uint32_t>(cross);
  return static_cast<uint8_t>(ch.prev);
}

// The same for `symbol` (0-255), logged with it.
template <bool kFused>
inline uint8_t DecodePacked(PackedChannel& ch, AudioChannelLog& log, size_t j, uint32_t symbol,
                            uint64_t term, int64_t& cross) {
  log.symbols[j] = static_cast<uint8_t>(symbol);
  return PredictPacked<kFused>(ch, log, j, term, cross);
}

// Logs a pair entry's two symbols as bytes j and j + 1 of a single
// channel's stretch, at `symbols`.
inline void StorePairSymbols(uint8_t* symbols, uint64_t entry) {
  if constexpr (std::endian::native == std::endian::little) {
    const uint16_t both = static_cast<uint16_t>(entry >> 8);
    std::memcpy(symbols, &both, 2);
  } else {
    symbols[0] = static_cast<uint8_t>(PairFirstSymbol(entry));
    symbols[1] = static_cast<uint8_t>(PairSecondSymbol(entry));
  }
}

// Moves the log on past a stretch of `n` bytes: its last five deltas become
// the ones before the next.
inline void StartNextStretch(AudioChannelLog& log, uint32_t n) {
  // All five read before any is written (the ranges overlap when n < 5),
  // in registers rather than through a call.
  int16_t lead[kLogLead];
  for (uint32_t i = 0; i < kLogLead; ++i) lead[i] = log.deltas[n + i];
  for (uint32_t i = 0; i < kLogLead; ++i) log.deltas[i] = lead[i];
}

namespace audio_packed_detail {

// What weight j's rising by one adds to the coefficients and the stream
// delta's weight, with several channels ([0]) and with one ([1]).
struct WeightUnit {
  uint64_t coefficients;
  uint64_t cross_weight;
};
constexpr std::array<std::array<WeightUnit, 5>, 2> MakeWeightUnits() {
  std::array<std::array<WeightUnit, 5>, 2> units{};
  for (uint32_t fused = 0; fused < 2; ++fused) {
    for (uint32_t j = 0; j < 5; ++j) {
      int32_t w[5] = {};
      w[j] = 1;
      PackedChannel ch{};
      SetPackedWeights(ch, w, fused != 0);
      units[fused][j] = {ch.coefficients, ch.cross_weight};
    }
  }
  return units;
}
inline constexpr auto kWeightUnits = MakeWeightUnits();

}  // namespace audio_packed_detail

// The adaptation at the end of a period, from the period's sums and the
// smallest of them (SmallestSum): the weight step of `p`, the coefficients
// moved with it, the sums cleared. The coefficients move by the step's own
// share rather than being made again from the weights in memory, which the
// step has just written: the next byte waits for the sums, and this keeps
// the path from them short.
inline void FinishPackedPeriod(PackedChannel& ch, AudioPredictor& p, uint32_t smallest, PeriodSums& sums,
                               bool fused) {
  uint32_t j;
  const int32_t step = WeightStep(p.weights, smallest, j);
  p.weights[j] += step;
  const audio_packed_detail::WeightUnit& unit = audio_packed_detail::kWeightUnits[fused ? 1 : 0][j];
  const uint64_t times = static_cast<uint64_t>(int64_t{step});
  ch.coefficients += unit.coefficients * times;
  ch.cross_weight += unit.cross_weight * times;
  ClearPeriodSums(sums);
}

// Puts the state back into the predictor: `log` holds the current stretch of
// `n` bytes, `sums` the sums of the period so far (this stretch included),
// and the channel has decoded `decoded` bytes in all.
inline void StorePacked(const PackedChannel& ch, const AudioChannelLog& log, uint32_t n,
                        const PeriodSums& sums, AudioPredictor& p, uint32_t decoded) {
  const int16_t* d = log.deltas + n;  // the five newest, oldest first
  p.prev_delta = d[4];
  p.history[0] = d[3];
  p.history[1] = d[3] - d[2];
  p.history[2] = d[2] - d[1];
  p.history[3] = d[1] - d[0];
  for (uint32_t k = 0; k < 11; ++k) p.error_sums[k] = sums.lanes[k];
  p.sample_count += decoded;
  p.prev_byte = static_cast<int32_t>(ch.prev & 0xFF);
}
