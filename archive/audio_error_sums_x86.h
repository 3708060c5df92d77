// The vector kernels of the error sums (audio_error_sums.h), for x86
// processors: SSE2, which every x86-64 has, and AVX2, taken where the
// processor has it. A header, so that a loop built for AVX2 can have them
// inlined rather than called through the path chosen at run time.
#pragma once

#include "archive/audio_error_sums.h"

#if defined(__x86_64__) || defined(__i386__)
#if defined(__SSE2__)
#include <immintrin.h>
#define QUARB_ERROR_SUMS_X86 1
#endif
#endif

#ifdef QUARB_ERROR_SUMS_X86
namespace error_sums_x86 {

// Lane k of the result: the sum of the lanes of a[k], for eight vectors of
// 16-bit lanes (wrapping: every sum of a stretch is below 2^16).
inline __m128i AddAcross(const __m128i* a) {
  auto pairs = [](__m128i x, __m128i y) {
    return _mm_add_epi16(_mm_unpacklo_epi16(x, y), _mm_unpackhi_epi16(x, y));
  };
  auto quads = [](__m128i x, __m128i y) {
    return _mm_add_epi16(_mm_unpacklo_epi32(x, y), _mm_unpackhi_epi32(x, y));
  };
  __m128i ab = pairs(a[0], a[1]), cd = pairs(a[2], a[3]);
  __m128i ef = pairs(a[4], a[5]), gh = pairs(a[6], a[7]);
  __m128i abcd = quads(ab, cd), efgh = quads(ef, gh);
  return _mm_add_epi16(_mm_unpacklo_epi64(abcd, efgh), _mm_unpackhi_epi64(abcd, efgh));
}

// Adds the eleven accumulators' lanes into the sums.
inline void AddLanes(const __m128i* acc, PeriodSums& sums) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i rest[8] = {acc[8], acc[9], acc[10], zero, zero, zero, zero, zero};
  __m128i* lanes = reinterpret_cast<__m128i*>(sums.lanes);
  _mm_store_si128(lanes, _mm_add_epi16(_mm_load_si128(lanes), AddAcross(acc)));
  _mm_store_si128(lanes + 1, _mm_add_epi16(_mm_load_si128(lanes + 1), AddAcross(rest)));
}

// The smallest of sixteen lanes, unsigned, through a signed minimum of
// values moved down by 0x8000; then the first lane that holds it.
inline uint32_t Sse2Smallest(const PeriodSums& sums) {
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i* lanes = reinterpret_cast<const __m128i*>(sums.lanes);
  const __m128i x = _mm_xor_si128(_mm_load_si128(lanes), bias);
  const __m128i y = _mm_xor_si128(_mm_load_si128(lanes + 1), bias);
  __m128i m = _mm_min_epi16(x, y);
  m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0x4E));
  m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0xB1));
  m = _mm_min_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
  m = _mm_shuffle_epi32(_mm_shufflelo_epi16(m, 0), 0);
  const uint32_t where = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, m))) |
                         static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(y, m))) << 16;
  return static_cast<uint32_t>(__builtin_ctz(where)) / 2;
}

inline __m128i Abs16Sse2(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// The terms of bytes j to j + 7 (eight lanes) or j + 15 (sixteen): h0 to h3
// from the channel's deltas, then the stream's delta.
#define QUARB_ERROR_TERMS(log, cross, j, load, sub, terms)                                          \
  do {                                                                                       \
    const int16_t* d = (log).deltas + kLogLead + (j);                                        \
    const auto d1 = load(d - 1), d2 = load(d - 2), d3 = load(d - 3), d4 = load(d - 4);       \
    (terms)[0] = d1;                                                                         \
    (terms)[1] = sub(d1, d2);                                                                \
    (terms)[2] = sub(d2, d3);                                                                \
    (terms)[3] = sub(d3, d4);                                                                \
    (terms)[4] = load((cross) + (j));                                                        \
  } while (false)

// The accumulators, one per sum, are formed one pair of sums at a time and
// folded at once, so that few are live together.
inline void Sse2Sums(const AudioChannelLog& log, const int16_t* cross, uint32_t n, PeriodSums& sums) {
  if (n == 0) return;
  const uint32_t vectors = (n + 7) / 8;
  const __m128i lane_index = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
  auto load = [](const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  auto sub = [](__m128i x, __m128i y) { return _mm_sub_epi16(x, y); };
  __m128i used[4], e[4], terms[4][5];
  __m128i s0 = _mm_setzero_si128();
  for (uint32_t v = 0; v < vectors; ++v) {
    used[v] = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<int16_t>(n - 8 * v)), lane_index);
    // The symbol into the high byte of its lane, then down by five: x 8 with its sign.
    const __m128i symbols = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(log.symbols + 8 * v));
    e[v] = _mm_and_si128(_mm_srai_epi16(_mm_unpacklo_epi8(_mm_setzero_si128(), symbols), 5), used[v]);
    s0 = _mm_add_epi16(s0, Abs16Sse2(e[v]));
    QUARB_ERROR_TERMS(log, cross, 8 * v, load, sub, terms[v]);
  }
  __m128i acc[11];
  acc[0] = s0;
  for (uint32_t k = 0; k < 5; ++k) {
    __m128i minus = _mm_setzero_si128(), plus = _mm_setzero_si128();
    for (uint32_t v = 0; v < vectors; ++v) {
      const __m128i t = _mm_and_si128(terms[v][k], used[v]);
      minus = _mm_add_epi16(minus, Abs16Sse2(_mm_sub_epi16(e[v], t)));
      plus = _mm_add_epi16(plus, Abs16Sse2(_mm_add_epi16(e[v], t)));
    }
    acc[2 * k + 1] = minus;
    acc[2 * k + 2] = plus;
  }
  AddLanes(acc, sums);
}

#define QUARB_AVX2_TARGET __attribute__((target("avx2")))

QUARB_AVX2_TARGET inline __m256i Load256(const int16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
QUARB_AVX2_TARGET inline __m256i Sub256(__m256i x, __m256i y) { return _mm256_sub_epi16(x, y); }
QUARB_AVX2_TARGET inline __m128i Fold256(__m256i x) {
  return _mm_add_epi16(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
}

QUARB_AVX2_TARGET inline __m256i AddPairs256(__m256i x, __m256i y) {
  return _mm256_add_epi16(_mm256_unpacklo_epi16(x, y), _mm256_unpackhi_epi16(x, y));
}
QUARB_AVX2_TARGET inline __m256i AddQuads256(__m256i x, __m256i y) {
  return _mm256_add_epi16(_mm256_unpacklo_epi32(x, y), _mm256_unpackhi_epi32(x, y));
}

// AddAcross on both 128-bit halves at once: lane k of each half of the
// result is the sum of that half's lanes of a[k].
QUARB_AVX2_TARGET inline __m256i AddAcross256(const __m256i* a) {
  __m256i ab = AddPairs256(a[0], a[1]), cd = AddPairs256(a[2], a[3]);
  __m256i ef = AddPairs256(a[4], a[5]), gh = AddPairs256(a[6], a[7]);
  __m256i abcd = AddQuads256(ab, cd), efgh = AddQuads256(ef, gh);
  return _mm256_add_epi16(_mm256_unpacklo_epi64(abcd, efgh), _mm256_unpackhi_epi64(abcd, efgh));
}

// kFull: a whole period of 32 bytes, with no lanes to leave out.
template <bool kFull>
QUARB_AVX2_TARGET inline void Avx2SumsOf(const AudioChannelLog& log, const int16_t* cross, uint32_t n,
                                         PeriodSums& sums) {
  const uint32_t vectors = kFull ? 2 : (n + 15) / 16;
  const __m256i lane_index =
      _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m256i used[2], e[2], terms[2][5];
  __m256i s0 = _mm256_setzero_si256();
  // Lanes past the stretch count as zeros.
#define QUARB_KEEP(x, v) (kFull ? (x) : _mm256_and_si256((x), used[v]))
  for (uint32_t v = 0; v < vectors; ++v) {
    if constexpr (!kFull) {
      used[v] = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<int16_t>(n - 16 * v)), lane_index);
    }
    const __m128i symbols = _mm_loadu_si128(reinterpret_cast<const __m128i*>(log.symbols + 16 * v));
    e[v] = QUARB_KEEP(_mm256_slli_epi16(_mm256_cvtepi8_epi16(symbols), 3), v);
    s0 = _mm256_add_epi16(s0, _mm256_abs_epi16(e[v]));
    QUARB_ERROR_TERMS(log, cross, 16 * v, Load256, Sub256, terms[v]);
  }
  // The accumulators in lanes, their halves folded after the lanes are
  // added across: eleven, and five of zeros.
  __m256i acc[16];
  acc[0] = s0;
  for (uint32_t k = 0; k < 5; ++k) {
    __m256i minus = _mm256_setzero_si256(), plus = _mm256_setzero_si256();
    for (uint32_t v = 0; v < vectors; ++v) {
      const __m256i t = QUARB_KEEP(terms[v][k], v);
      minus = _mm256_add_epi16(minus, _mm256_abs_epi16(_mm256_sub_epi16(e[v], t)));
      plus = _mm256_add_epi16(plus, _mm256_abs_epi16(_mm256_add_epi16(e[v], t)));
    }
    acc[2 * k + 1] = minus;
    acc[2 * k + 2] = plus;
  }
#undef QUARB_KEEP
  for (uint32_t k = 11; k < 16; ++k) acc[k] = _mm256_setzero_si256();
  __m128i* lanes = reinterpret_cast<__m128i*>(sums.lanes);
  _mm_store_si128(lanes, _mm_add_epi16(_mm_load_si128(lanes), Fold256(AddAcross256(acc))));
  _mm_store_si128(lanes + 1, _mm_add_epi16(_mm_load_si128(lanes + 1), Fold256(AddAcross256(acc + 8))));
}

QUARB_AVX2_TARGET inline void Avx2Sums(const AudioChannelLog& log, const int16_t* cross, uint32_t n,
                                PeriodSums& sums) {
  if (n == kLogBytes) {
    Avx2SumsOf<true>(log, cross, n, sums);
  } else if (n != 0) {
    Avx2SumsOf<false>(log, cross, n, sums);
  }
}

// The first lane of the smallest value of each half, and the halves
// compared: the second half wins only when strictly smaller.
QUARB_AVX2_TARGET inline uint32_t Sse41Smallest(const PeriodSums& sums) {
  const __m128i* lanes = reinterpret_cast<const __m128i*>(sums.lanes);
  const uint32_t low = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_load_si128(lanes))));
  const uint32_t high =
      static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_load_si128(lanes + 1))));
  return (high & 0xFFFF) < (low & 0xFFFF) ? 8 + (high >> 16 & 7) : low >> 16 & 7;
}


}  // namespace error_sums_x86
#endif  // QUARB_ERROR_SUMS_X86
