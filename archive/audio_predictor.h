// Multimedia (audio) mode: up to four interleaved channels of 8-bit samples,
// each byte coded as its difference from a prediction.
//
// Every channel has an adaptive linear predictor over its last byte, its last
// deltas and the stream's latest delta (`cross_delta`, shared by all
// channels). After every 32 bytes of a channel one of its five weights moves
// one step towards the setting that would have erred least over that period;
// weights stay within -17 and 16. The state runs on across table blocks and
// across the files of a solid stream; only a fresh stream resets it.
#pragma once

#include <cstdint>

#include "archive/code_tables.h"

struct AudioPredictor {
  int32_t weights[5];
  int32_t history[4];      // last delta, its change, and the two changes before
  int32_t prev_delta;      // -128 to 127
  uint32_t error_sums[11];
  uint32_t sample_count;
  int32_t prev_byte;       // 0 to 255
};

extern AudioPredictor audio_predictors[rar::kMaxChannels];
extern int32_t cross_delta;

// The byte for `symbol` (0-255) on the current channel
// (decoder_tables.current_channel), which it does not advance.
uint8_t DecodeAudioByte(uint32_t symbol);

// One adaptation step, run by DecodeAudioByte on a channel's every 32nd byte.
void AdaptWeights(AudioPredictor& p);

// The weight step of an adaptation whose smallest sum is S`best` (0-10):
// none for S0; otherwise w[(best - 1) / 2] one down (odd best, not below
// -17) or one up (even best, not above 16).
inline void StepWeight(int32_t* weights, uint32_t best) {
  // Without branches: which sum wins is as good as random, and a
  // mispredicted branch costs more than the arithmetic.
  const uint32_t moves = best != 0 ? 1 : 0;
  const uint32_t j = (best + 1) / 2 - moves;
  const int32_t w = weights[j];
  const int32_t down = w >= -16 ? -1 : 0;
  const int32_t up = w < 16 ? 1 : 0;
  const int32_t odd = -static_cast<int32_t>(best & 1);
  const int32_t step = (down & odd) | (up & ~odd);
  weights[j] = w + (step & -static_cast<int32_t>(moves));
}

// DecodeAudioByte's body, inlined into the decoder's loop.
inline uint8_t DecodeAudioByteInline(AudioPredictor& p, uint32_t symbol) {
  int32_t* h = p.history;
  const int32_t* w = p.weights;
  ++p.sample_count;
  h[3] = h[2];
  h[2] = h[1];
  h[1] = p.prev_delta - h[0];
  h[0] = p.prev_delta;

  int32_t acc = 8 * p.prev_byte + w[0] * h[0] + w[1] * h[1] + w[2] * h[2] + w[3] * h[3] +
                w[4] * cross_delta;
  int32_t predicted = (acc >> 3) & 0xFF;
  int32_t byte = (predicted - static_cast<int32_t>(symbol)) & 0xFF;

  // The error the symbol stands for, scaled like the prediction, against each
  // term added or taken away: the sums show which weight change would have
  // helped.
  int32_t e = 8 * static_cast<int8_t>(static_cast<uint8_t>(symbol));
  uint32_t* s = p.error_sums;
  auto magnitude = [](int32_t v) { return static_cast<uint32_t>(v < 0 ? -v : v); };
  s[0] += magnitude(e);
  s[1] += magnitude(e - h[0]);
  s[2] += magnitude(e + h[0]);
  s[3] += magnitude(e - h[1]);
  s[4] += magnitude(e + h[1]);
  s[5] += magnitude(e - h[2]);
  s[6] += magnitude(e + h[2]);
  s[7] += magnitude(e - h[3]);
  s[8] += magnitude(e + h[3]);
  s[9] += magnitude(e - cross_delta);
  s[10] += magnitude(e + cross_delta);

  int32_t delta = static_cast<int8_t>(static_cast<uint8_t>(byte - p.prev_byte));
  p.prev_delta = delta;
  cross_delta = delta;
  p.prev_byte = byte;
  if ((p.sample_count & 0x1F) == 0) AdaptWeights(p);
  return static_cast<uint8_t>(byte);
}

// Zero predictors and cross_delta: the state of a fresh stream.
void ResetAudioPredictors();
