// Multimedia (audio) mode: up to four interleaved channels of 8-bit samples,
// each byte coded as its difference from a prediction.
//
// Every channel has an adaptive linear predictor over its last byte, its last
// deltas and the stream's latest delta (`cross_delta`, shared by all
// channels). After every 32 bytes of a channel one of its five weights moves
// one step towards the setting that would have erred least over that period;
// weights stay within -17 and 16. The state runs on across table blocks and
// across the files of a solid stream; only a fresh stream resets it.
//
// This is the plain definition of every step, one byte at a time: the
// decoder's single steps and the packer's model run it as it is; the
// decoder's rounds compute the same in another order (audio_packed.h,
// audio_error_sums.h), and the tests hold them to it.
#pragma once

#include <cstdint>

#include "archive/archive_format.h"

struct AudioPredictor {
  int32_t weights[5];
  int32_t history[4];      // last delta, its change, and the two changes before
  int32_t prev_delta;      // -128 to 127
  uint32_t error_sums[11];
  uint32_t sample_count;
  int32_t prev_byte;       // 0 to 255
};

// The predictors of a stream. All zero: a fresh stream.
struct AudioState {
  AudioPredictor channels[rar::kMaxChannels];
  int32_t cross_delta;  // the stream's last delta
};

// The error sums of one byte: with e = 8 x the symbol read as signed and
// terms h0 to h3 and the stream's delta, S0 adds |e|, S(2k+1) |e - term k|
// and S(2k+2) |e + term k|. The sums show which weight change would have
// helped.
inline void AddErrors(uint32_t* sums, uint32_t symbol, const int32_t (&terms)[5]) {
  const int32_t e = 8 * static_cast<int8_t>(static_cast<uint8_t>(symbol));
  auto magnitude = [](int32_t v) { return static_cast<uint32_t>(v < 0 ? -v : v); };
  sums[0] += magnitude(e);
  for (uint32_t k = 0; k < 5; ++k) {
    sums[2 * k + 1] += magnitude(e - terms[k]);
    sums[2 * k + 2] += magnitude(e + terms[k]);
  }
}

// The index of the smallest of the eleven sums, the lowest on a tie.
template <typename Sum>
inline uint32_t SmallestErrorSum(const Sum* sums) {
  uint32_t best = 0;
  uint32_t smallest = sums[0];
  for (uint32_t k = 1; k < 11; ++k) {
    const uint32_t v = sums[k];
    best = v < smallest ? k : best;
    smallest = v < smallest ? v : smallest;
  }
  return best;
}

// The weight step of an adaptation whose smallest sum is S`best` (0-10):
// none for S0; otherwise w[(best - 1) / 2] one down (odd best, not below
// -17) or one up (even best, not above 16). WeightStep gives the step (-1,
// 0 or 1) and the weight `j` it applies to; StepWeight takes it.
inline int32_t WeightStep(const int32_t* weights, uint32_t best, uint32_t& j) {
  // Without branches: which sum wins is as good as random, and a
  // mispredicted branch costs more than the arithmetic.
  const uint32_t moves = best != 0 ? 1 : 0;
  j = (best + 1) / 2 - moves;
  const int32_t w = weights[j];
  const int32_t down = w >= -16 ? -1 : 0;
  const int32_t up = w < 16 ? 1 : 0;
  const int32_t odd = -static_cast<int32_t>(best & 1);
  const int32_t step = (down & odd) | (up & ~odd);
  return step & -static_cast<int32_t>(moves);
}
inline void StepWeight(int32_t* weights, uint32_t best) {
  uint32_t j;
  const int32_t step = WeightStep(weights, best, j);
  weights[j] += step;
}

// The adaptation at the end of a channel's period: the weight step towards
// the smallest sum, and the sums cleared.
inline void AdaptWeights(AudioPredictor& p) {
  StepWeight(p.weights, SmallestErrorSum(p.error_sums));
  for (uint32_t& sum : p.error_sums) sum = 0;
}

// The first half of a byte's step: the history moves on and the channel
// predicts its next byte (0-255) from it, its last byte and the stream's
// last delta.
inline uint32_t PredictAudioByte(AudioPredictor& p, int32_t cross_delta) {
  int32_t* h = p.history;
  const int32_t* w = p.weights;
  ++p.sample_count;
  h[3] = h[2];
  h[2] = h[1];
  h[1] = p.prev_delta - h[0];
  h[0] = p.prev_delta;
  int32_t acc = 8 * p.prev_byte + w[0] * h[0] + w[1] * h[1] + w[2] * h[2] + w[3] * h[3] + w[4] * cross_delta;
  return static_cast<uint32_t>(acc >> 3) & 0xFF;
}

// The second half, once the byte and its symbol (the prediction less the
// byte, modulo 256) are known: the error sums, the new deltas, and on the
// channel's every 32nd byte the adaptation.
inline void LearnAudioByte(AudioPredictor& p, int32_t& cross_delta, uint32_t symbol, uint32_t byte) {
  const int32_t* h = p.history;
  AddErrors(p.error_sums, symbol, {h[0], h[1], h[2], h[3], cross_delta});
  int32_t delta = static_cast<int8_t>(static_cast<uint8_t>(byte - static_cast<uint32_t>(p.prev_byte)));
  p.prev_delta = delta;
  cross_delta = delta;
  p.prev_byte = static_cast<int32_t>(byte);
  if ((p.sample_count & 0x1F) == 0) AdaptWeights(p);
}

// The byte that `symbol` (0-255) stands for on the channel of `p`.
inline uint8_t DecodeAudioByte(AudioPredictor& p, int32_t& cross_delta, uint32_t symbol) {
  const uint32_t byte = (PredictAudioByte(p, cross_delta) - symbol) & 0xFF;
  LearnAudioByte(p, cross_delta, symbol, byte);
  return static_cast<uint8_t>(byte);
}

// The symbol that makes DecodeAudioByte give `byte`, with the same step.
inline uint8_t EncodeAudioByte(AudioPredictor& p, int32_t& cross_delta, uint8_t byte) {
  const uint32_t symbol = (PredictAudioByte(p, cross_delta) - byte) & 0xFF;
  LearnAudioByte(p, cross_delta, symbol, byte);
  return static_cast<uint8_t>(symbol);
}
