// The multimedia predictor of one channel in SSE2 registers, for the rounds
// of the audio steps. It gives exactly the bytes of DecodeAudioByte
// (audio_predictor.h) and, stored back, exactly its predictor state; it
// only computes in another order.
//
// - A prediction matters only modulo 256 and only relative to the channel's
//   last byte, so the new delta is computed from the channel's last deltas
//   and the stream's last delta alone. The weights become coefficients on
//   the last four deltas (w0 + w1, w2 - w1, w3 - w2, -w3), shifted left by
//   21 so that the bits that count land in the top byte: the delta is then
//   a multiply-add on the cross delta and an arithmetic shift right by 24.
//   The terms of the three older deltas are taken one byte ahead, with a
//   multiply-add across the lanes of `deltas`.
// - The eleven error sums are kept in the 16-bit lanes of two registers,
//   the symbol's error minus and plus each term. Over one 32-byte period a
//   sum is at most 32 x 1279, which fits.
//
// Every function here is inline: a call that took the address of a
// caller's AudioLanes would keep it out of registers.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "archive/audio_predictor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif
#define QUARB_AUDIO_LANES 1
#endif

#ifdef QUARB_AUDIO_LANES

struct AudioLanes {
  // Lanes 0-4: the channel's last five deltas, newest first.
  __m128i deltas;
  // Lanes 0-2: the coefficients of the deltas two to four back, as seen
  // from the byte after next: applied to `deltas` they give its older terms.
  __m128i older;
  // Lane 0: the next byte's older terms (not yet shifted).
  __m128i partial;
  // Error sums: lanes 0-5 of `minus` are S2, S3, S5, S7, S9 and S0, lanes
  // 0-4 of `plus` S1, S4, S6, S8 and S10.
  __m128i minus;
  __m128i plus;
  uint32_t last_weight;   // (w0 + w1) << 21
  uint32_t cross_weight;  // w4 << 21; with a single channel (w0 + w1 + w4) << 21
  int32_t last;           // lane 0 of `deltas`
  int32_t prev;           // last byte; only its low eight bits count
};

namespace audio_lanes_detail {

// The sum of the two low 32-bit lanes of a multiply-add of `deltas` and
// `coefficients`, in lane 0.
inline __m128i OlderTerms(__m128i deltas, __m128i coefficients) {
  __m128i products = _mm_madd_epi16(deltas, coefficients);
  return _mm_add_epi32(products, _mm_shuffle_epi32(products, 0x55));
}

inline __m128i Abs16(__m128i v) {
#if defined(__SSSE3__)
  return _mm_abs_epi16(v);
#else
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
#endif
}

// Keeps the compiler from folding `v` into the sum that follows: the cross
// term must be the last addition, where it waits for nothing else.
inline void KeepApart(uint32_t& v) {
#if defined(__GNUC__)
  asm("" : "+r"(v));
#else
  (void)v;
#endif
}

// 8 x the symbol read as signed, in every lane, for each symbol.
constexpr std::array<std::array<int16_t, 8>, 256> MakeSymbolErrors() {
  std::array<std::array<int16_t, 8>, 256> table{};
  for (int s = 0; s < 256; ++s) {
    for (int16_t& lane : table[s]) lane = static_cast<int16_t>(8 * (s < 128 ? s : s - 256));
  }
  return table;
}
alignas(16) inline constexpr std::array<std::array<int16_t, 8>, 256> kSymbolErrors =
    MakeSymbolErrors();

// The coefficients from the weights.
inline void SetWeights(AudioLanes& l, const int32_t* w, bool fused) {
  auto shifted = [](int32_t v) { return static_cast<uint32_t>(v) << 21; };
  l.last_weight = shifted(w[0] + w[1]);
  l.cross_weight = shifted(fused ? w[0] + w[1] + w[4] : w[4]);
  l.older = _mm_setr_epi16(static_cast<int16_t>(w[2] - w[1]), static_cast<int16_t>(w[3] - w[2]),
                           static_cast<int16_t>(-w[3]), 0, 0, 0, 0, 0);
}

// The index of the smallest of S0 to S10, the lowest index on a tie.
// `low` holds S1 to S8, lanes 0 to 2 of `high` S9, S10 and S0. The minimum
// of all lanes (unsigned, through a signed minimum of biased values), then
// S0 if it holds it, else the first lane that does.
inline uint32_t SmallestSum(__m128i low, __m128i high) {
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i unused = _mm_setr_epi16(0, 0, 0, -1, -1, -1, -1, -1);
  __m128i x = _mm_xor_si128(low, bias);
  __m128i y = _mm_xor_si128(_mm_or_si128(high, unused), bias);
  __m128i m = _mm_min_epi16(x, y);
  m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0x4E));
  m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0xB1));
  m = _mm_min_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
  m = _mm_shuffle_epi32(_mm_shufflelo_epi16(m, 0), 0);
  uint32_t where = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, m))) |
                   static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(y, m))) << 16;
  uint32_t first = static_cast<uint32_t>(__builtin_ctz(where)) / 2 + 1;
  return (where >> 20) & 1 ? 0 : first;
}

}  // namespace audio_lanes_detail

// Takes the predictor into `lanes`. `fused`: a single channel, whose last
// delta is always the stream's; the caller makes sure that it is so at the
// start. False, and nothing taken, when the predictor's sums could outgrow
// the lanes or its history the deltas' lanes (never for a state that
// decoding reaches).
inline bool LoadAudioLanes(AudioLanes& l, const AudioPredictor& p, bool fused) {
  using namespace audio_lanes_detail;
  // The sums grow by at most 1279 a byte until the period ends.
  const uint32_t room = (32 - p.sample_count % 32) * 1279;
  for (uint32_t sum : p.error_sums) {
    if (sum > 0xFFFF - room) return false;
  }
  // Deltas whose differences are the history: the last delta, then h0, and
  // each older one the newer less the next history term.
  int32_t d[5];
  d[0] = p.prev_delta;
  d[1] = p.history[0];
  d[2] = d[1] - p.history[1];
  d[3] = d[2] - p.history[2];
  d[4] = d[3] - p.history[3];
  for (int32_t v : d) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
      return false;
    }
  }
  auto lane = [](uint32_t v) { return static_cast<int16_t>(v); };
  const uint32_t* s = p.error_sums;
  l.deltas = _mm_setr_epi16(lane(d[0]), lane(d[1]), lane(d[2]), lane(d[3]), lane(d[4]), 0, 0, 0);
  l.minus = _mm_setr_epi16(lane(s[2]), lane(s[3]), lane(s[5]), lane(s[7]), lane(s[9]), lane(s[0]),
                           0, 0);
  l.plus = _mm_setr_epi16(lane(s[1]), lane(s[4]), lane(s[6]), lane(s[8]), lane(s[10]), 0, 0, 0);
  SetWeights(l, p.weights, fused);
  l.partial = OlderTerms(l.deltas, _mm_slli_si128(l.older, 2));
  l.last = p.prev_delta;
  l.prev = p.prev_byte;
  return true;
}

// Puts the state back into the predictor, which has decoded `decoded` bytes
// through the lanes.
inline void StoreAudioLanes(const AudioLanes& l, AudioPredictor& p, uint32_t decoded) {
  alignas(16) int16_t d[8];
  alignas(16) uint16_t minus[8], plus[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(d), l.deltas);
  _mm_store_si128(reinterpret_cast<__m128i*>(minus), l.minus);
  _mm_store_si128(reinterpret_cast<__m128i*>(plus), l.plus);
  p.prev_delta = d[0];
  p.history[0] = d[1];
  p.history[1] = d[1] - d[2];
  p.history[2] = d[2] - d[3];
  p.history[3] = d[3] - d[4];
  uint32_t* s = p.error_sums;
  s[0] = minus[5];
  s[1] = plus[0];
  s[2] = minus[0];
  s[3] = minus[1];
  s[4] = plus[1];
  s[5] = minus[2];
  s[6] = plus[2];
  s[7] = minus[3];
  s[8] = plus[3];
  s[9] = minus[4];
  s[10] = plus[4];
  p.sample_count += decoded;
  p.prev_byte = l.prev & 0xFF;
}

// The byte for `symbol` (0-255) on this channel; `cross` is the stream's
// last delta and becomes this byte's. The caller runs FinishAudioPeriod
// after the channel's every 32nd byte.
template <bool kFused>
inline uint8_t DecodeAudioLanes(AudioLanes& l, uint32_t symbol, int32_t& cross) {
  using namespace audio_lanes_detail;
  // The error terms: -h0, h1, h2, h3 (differences of neighbouring deltas),
  // the cross delta, then zeros. The sign of h0 only swaps S1 and S2.
  const __m128i low_four = _mm_setr_epi16(-1, -1, -1, -1, 0, 0, 0, 0);
  __m128i shifted = _mm_slli_si128(l.deltas, 2);
  __m128i terms = _mm_and_si128(_mm_sub_epi16(shifted, l.deltas), low_four);
  terms = _mm_insert_epi16(terms, cross, 4);
  __m128i error = _mm_load_si128(reinterpret_cast<const __m128i*>(kSymbolErrors[symbol].data()));
  l.minus = _mm_add_epi16(l.minus, Abs16(_mm_sub_epi16(error, terms)));
  l.plus = _mm_add_epi16(l.plus, Abs16(_mm_add_epi16(error, terms)));

  auto wide = [](int32_t v) { return static_cast<uint32_t>(v); };
  uint32_t rest = (static_cast<uint32_t>(_mm_cvtsi128_si32(l.partial)) << 21) - (symbol << 24);
  if constexpr (!kFused) rest += l.last_weight * wide(l.last);
  KeepApart(rest);
  int32_t delta = static_cast<int32_t>(rest + l.cross_weight * wide(cross)) >> 24;

  l.partial = OlderTerms(l.deltas, l.older);
  l.deltas = _mm_or_si128(shifted, _mm_cvtsi32_si128(delta & 0xFFFF));
  l.last = delta;
  l.prev += delta;
  cross = delta;
  return static_cast<uint8_t>(l.prev);
}

// The adaptation at the end of a period: the smallest sum, the weight step
// of `weights` (the channel's predictor record), the new coefficients, the
// sums cleared.
inline void FinishAudioPeriod(AudioLanes& l, int32_t* weights, bool fused) {
  using namespace audio_lanes_detail;
  // minus and plus interleaved: S2, S1, S3, ..., S8, then S9, S10, S0.
  __m128i low = _mm_shufflelo_epi16(_mm_unpacklo_epi16(l.minus, l.plus), 0xE1);
  __m128i high = _mm_unpackhi_epi16(l.minus, l.plus);
  StepWeight(weights, SmallestSum(low, high));
  SetWeights(l, weights, fused);
  // The older terms of the next byte were taken with the old weights: again,
  // from the deltas as they now stand.
  l.partial = OlderTerms(l.deltas, _mm_slli_si128(l.older, 2));
  l.minus = _mm_setzero_si128();
  l.plus = _mm_setzero_si128();
}

#endif  // QUARB_AUDIO_LANES
