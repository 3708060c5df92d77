// The mixer's float samples as signed 16-bit PCM, for outputs that take PCM
// (waveOut). Here because it is the one part of such an output that can be
// tested away from its system.
#pragma once

#include <cstddef>
#include <cstdint>

// Full scale is +-1.0, which maps to +-32767, so that the scale is the same
// both ways; anything beyond is clamped (modules mixed loud do go beyond), and
// NaN, which no sound should be, becomes 0. Rounds to the nearest value,
// halves away from zero.
inline int16_t Pcm16FromFloat(float sample) {
  if (sample >= 1.0f) return 32767;
  if (sample <= -1.0f) return -32767;
  if (!(sample == sample)) return 0;
  // In double the product and the added half are exact, so a sample just
  // under a rounding boundary is not pushed over it.
  const double scaled = static_cast<double>(sample) * 32767.0;
  return static_cast<int16_t>(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5);
}

inline void ConvertToPcm16(const float* in, int16_t* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) out[i] = Pcm16FromFloat(in[i]);
}
