// The output bytes of a stretch of audio rounds, written when the stretch
// ends rather than byte by byte: a channel's bytes are its last byte plus
// the running sum of its logged deltas (audio_error_sums.h), modulo 256.
// The rounds of one or two channels built for AVX2 leave their bytes to
// these, which keeps the last bytes and the output pointer out of the
// registers that the rounds need; elsewhere the rounds write each byte as
// they go (without vector instructions, a pass over the log costs more
// than it saves).
//
// With one channel the stretch's bytes are the channel's; with two they
// alternate from channel 0, and a round that a symbol 256 cut short leaves
// channel 0 one byte ahead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/audio_error_sums.h"
#include "archive/audio_error_sums_x86.h"

#ifdef QUARB_ERROR_SUMS_X86
namespace error_sums_x86 {

// Lane i: prev + the deltas of bytes 0 to i, modulo 256, for all 32 lanes
// of the log. A lane depends only on the deltas up to its own, so lanes
// past the stretch (whatever the log holds there) leave the others exact.
QUARB_AVX2_TARGET inline __m256i Avx2RunningBytes(const AudioChannelLog& log, uint32_t prev) {
  const __m256i low_bytes = _mm256_set1_epi16(0xFF);
  const __m256i* d = reinterpret_cast<const __m256i*>(log.deltas + kLogLead);
  const __m256i a = _mm256_and_si256(_mm256_loadu_si256(d), low_bytes);
  const __m256i b = _mm256_and_si256(_mm256_loadu_si256(d + 1), low_bytes);
  // The pack interleaves the halves by 128-bit lane; the permute restores
  // the order of bytes 0 to 31.
  __m256i x = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
  x = _mm256_add_epi8(x, _mm256_slli_si256(x, 1));
  x = _mm256_add_epi8(x, _mm256_slli_si256(x, 2));
  x = _mm256_add_epi8(x, _mm256_slli_si256(x, 4));
  x = _mm256_add_epi8(x, _mm256_slli_si256(x, 8));
  // The upper half goes on from the lower half's last sum.
  const __m256i low_half_up = _mm256_permute2x128_si256(x, x, 0x08);
  x = _mm256_add_epi8(x, _mm256_shuffle_epi8(low_half_up, _mm256_set1_epi8(15)));
  return _mm256_add_epi8(x, _mm256_set1_epi8(static_cast<char>(prev)));
}

// Writes the bytes of a stretch of `channels` (1 or 2) channels with
// `counts` bytes each (at most 32), and nothing past them; `prev` holds
// each channel's last byte and is moved on.
QUARB_AVX2_TARGET inline void Avx2WriteStretchBytes(const AudioChannelLog* logs, uint32_t channels,
                                                    const uint32_t* counts, uint32_t* prev, uint8_t* out) {
  alignas(32) uint8_t staged[2 * kLogBytes];
  const __m256i first = Avx2RunningBytes(logs[0], prev[0]);
  size_t total = counts[0];
  __m256i lower = first, upper = first;
  if (channels == 2) {
    const __m256i second = Avx2RunningBytes(logs[1], prev[1]);
    const __m256i lo = _mm256_unpacklo_epi8(first, second);  // bytes 0-7 and 16-23 of each
    const __m256i hi = _mm256_unpackhi_epi8(first, second);  // 8-15 and 24-31
    lower = _mm256_permute2x128_si256(lo, hi, 0x20);
    upper = _mm256_permute2x128_si256(lo, hi, 0x31);
    total += counts[1];
  }
  if (total == 32 * size_t{channels}) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), lower);
    if (channels == 2) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), upper);
  } else {
    _mm256_store_si256(reinterpret_cast<__m256i*>(staged), lower);
    _mm256_store_si256(reinterpret_cast<__m256i*>(staged + 32), upper);
    std::memcpy(out, staged, total);
  }
  for (uint32_t c = 0; c < channels; ++c) {
    if (counts[c] != 0) prev[c] = out[(counts[c] - 1) * channels + c];
  }
}

}  // namespace error_sums_x86
#endif  // QUARB_ERROR_SUMS_X86
