#include "archive/audio_predictor.h"

#include <cstdlib>
#include <cstring>

AudioPredictor audio_predictors[kMaxChannels];
int32_t cross_delta;

namespace {

int32_t SignedByte(int32_t value) { return static_cast<int8_t>(static_cast<uint8_t>(value)); }

}  // namespace

uint8_t DecodeAudioByte(uint32_t symbol) {
  AudioPredictor& p = audio_predictors[decoder_tables.current_channel];
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
  int32_t e = 8 * SignedByte(static_cast<int32_t>(symbol));
  uint32_t* s = p.error_sums;
  s[0] += std::abs(e);
  s[1] += std::abs(e - h[0]);
  s[2] += std::abs(e + h[0]);
  s[3] += std::abs(e - h[1]);
  s[4] += std::abs(e + h[1]);
  s[5] += std::abs(e - h[2]);
  s[6] += std::abs(e + h[2]);
  s[7] += std::abs(e - h[3]);
  s[8] += std::abs(e + h[3]);
  s[9] += std::abs(e - cross_delta);
  s[10] += std::abs(e + cross_delta);

  int32_t delta = SignedByte(byte - p.prev_byte);
  p.prev_delta = delta;
  cross_delta = delta;
  p.prev_byte = byte;
  if ((p.sample_count & 0x1F) == 0) AdaptWeights(p);
  return static_cast<uint8_t>(byte);
}

void AdaptWeights(AudioPredictor& p) {
  uint32_t* s = p.error_sums;
  uint32_t best = 0;
  for (uint32_t i = 1; i < 11; ++i) {
    if (s[i] < s[best]) best = i;
  }
  std::memset(p.error_sums, 0, sizeof p.error_sums);
  if (best == 0) return;
  int32_t& weight = p.weights[(best - 1) / 2];
  if (best & 1) {
    if (weight >= -16) --weight;
  } else if (weight < 16) {
    ++weight;
  }
}

void ResetAudioPredictors() {
  std::memset(audio_predictors, 0, sizeof audio_predictors);
  cross_delta = 0;
}
